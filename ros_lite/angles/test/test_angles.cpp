// The angle helpers on the values where they are easy to get wrong: the ends of each range,
// wrapping across +-pi, and more than a full turn.
#include <gtest/gtest.h>

#include <cmath>

#include "angles/angles.h"

namespace
{

constexpr double kTol = 1e-12;

TEST(Angles, ConvertsBetweenDegreesAndRadians)
{
  EXPECT_NEAR(angles::from_degrees(180.0), M_PI, kTol);
  EXPECT_NEAR(angles::from_degrees(-90.0), -M_PI_2, kTol);
  EXPECT_NEAR(angles::to_degrees(M_PI_4), 45.0, kTol);
  EXPECT_NEAR(angles::to_degrees(angles::from_degrees(123.4)), 123.4, 1e-9);
}

TEST(Angles, NormalizesIntoTheirRanges)
{
  // (-pi, pi]: both ends of the turn come back as +pi.
  EXPECT_NEAR(angles::normalize_angle(M_PI), M_PI, kTol);
  EXPECT_NEAR(angles::normalize_angle(-M_PI), M_PI, kTol);
  EXPECT_NEAR(angles::normalize_angle(3.0 * M_PI), M_PI, kTol);
  EXPECT_NEAR(angles::normalize_angle(-1.5 * M_PI), M_PI_2, kTol);
  EXPECT_NEAR(angles::normalize_angle(2.0 * M_PI + 0.3), 0.3, kTol);
  EXPECT_NEAR(angles::normalize_angle(-0.3), -0.3, kTol);

  // [0, 2*pi).
  EXPECT_NEAR(angles::normalize_angle_positive(-M_PI_2), 1.5 * M_PI, kTol);
  EXPECT_NEAR(angles::normalize_angle_positive(2.0 * M_PI), 0.0, kTol);
  EXPECT_NEAR(angles::normalize_angle_positive(5.0 * M_PI), M_PI, kTol);
  EXPECT_NEAR(angles::normalize_angle_positive(0.25), 0.25, kTol);
}

TEST(Angles, ShortestDistanceTurnsTheShortWayRoundAcrossTheWrap)
{
  EXPECT_NEAR(angles::shortest_angular_distance(0.0, M_PI_2), M_PI_2, kTol);
  EXPECT_NEAR(angles::shortest_angular_distance(M_PI_2, 0.0), -M_PI_2, kTol);
  // From just below +pi to just above -pi is a small counter-clockwise step.
  EXPECT_NEAR(angles::shortest_angular_distance(3.0, -3.0), 2.0 * M_PI - 6.0, kTol);
  EXPECT_NEAR(angles::shortest_angular_distance(-3.0, 3.0), 6.0 - 2.0 * M_PI, kTol);
  // Whole turns in between do not count; half a turn is +pi.
  EXPECT_NEAR(angles::shortest_angular_distance(0.1, 0.2 + 4.0 * M_PI), 0.1, kTol);
  EXPECT_NEAR(angles::shortest_angular_distance(0.0, -M_PI), M_PI, kTol);
}

TEST(Angles, TwoPiComplementGoesTheOtherWayRound)
{
  EXPECT_NEAR(angles::two_pi_complement(0.5), 0.5 - 2.0 * M_PI, kTol);
  EXPECT_NEAR(angles::two_pi_complement(-0.5), 2.0 * M_PI - 0.5, kTol);
  EXPECT_NEAR(angles::two_pi_complement(0.0), 2.0 * M_PI, kTol);
  // More than a full turn is reduced first.
  EXPECT_NEAR(angles::two_pi_complement(7.0), 7.0 - 4.0 * M_PI, 1e-9);
  EXPECT_NEAR(angles::two_pi_complement(-7.0), 4.0 * M_PI - 7.0, 1e-9);
}

}  // namespace
