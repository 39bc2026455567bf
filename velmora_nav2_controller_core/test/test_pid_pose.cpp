// The per-cycle PID law of the lateral move: exact terms, output limits, history handling, and
// a finite command whatever it is fed.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "controller/pid_pose.hpp"

using controller::PID_pose;

namespace
{

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kMax = std::numeric_limits<double>::max();

std::vector<double> outputsFor(PID_pose law, const std::vector<double> & errors)
{
  std::vector<double> outputs;
  for (double error : errors) {
    outputs.push_back(law.cal_output(error));
  }
  return outputs;
}

}  // namespace

TEST(PidPoseLaw, ProportionalOnlyIsExactlyGainTimesError)
{
  PID_pose law(0.7, 0.0, 0.0, 0.0, 0.3, -0.3, false);
  for (double error : {0.0, 1.0, -2.5, 123.456, -1e-9}) {
    EXPECT_EQ(law.cal_output(error), 0.7 * error);
  }
}

TEST(PidPoseLaw, IntegralUsesEarlierErrorsAndDerivativeTheLastDifference)
{
  PID_pose integral(0.0, 1.0, 0.0, 0.0, 10.0, -10.0, false);
  EXPECT_EQ(outputsFor(integral, {1.0, 1.0, 1.0, -4.0}), (std::vector<double>{0.0, 1.0, 2.0, 3.0}));

  // After a reset the previous error is 0, so the first derivative term is kd * e.
  PID_pose full(2.0, 0.5, 0.25, 0.0, 10.0, -10.0, false);
  EXPECT_DOUBLE_EQ(full.cal_output(1.0), 2.0 * 1.0 + 0.25 * 1.0);
  EXPECT_DOUBLE_EQ(full.cal_output(3.0), 2.0 * 3.0 + 0.5 * 1.0 + 0.25 * (3.0 - 1.0));
  EXPECT_EQ(full.error, 3.0);
  EXPECT_EQ(full.last_error, 3.0);
  EXPECT_EQ(full.error_sum, 4.0);
}

TEST(PidPoseLaw, LimitsClampTheOutputButNotTheIntegral)
{
  PID_pose law(0.5, 0.0, 0.01, 0.0, 0.3, -0.3, true);
  EXPECT_EQ(law.cal_output(10.0), 0.3);
  EXPECT_EQ(law.cal_output(-20.0), -0.3);
  EXPECT_EQ(law.error_sum, -10.0);
  EXPECT_EQ(law.last_error, -20.0);

  PID_pose exact(1.0, 0.0, 0.0, 0.0, 0.3, -0.3, true);
  EXPECT_EQ(exact.cal_output(0.3), 0.3);
  EXPECT_EQ(exact.cal_output(-0.3), -0.3);
  EXPECT_EQ(exact.cal_output(0.1), 0.1);

  PID_pose unlimited(1.0, 0.0, 0.0, 0.0, 0.3, -0.3, false);
  EXPECT_EQ(unlimited.cal_output(10.0), 10.0);
}

TEST(PidPoseLaw, LowerBoundIsTestedFirst)
{
  // With a range given upside down the order of the tests decides the result.
  PID_pose law(1.0, 0.0, 0.0, 0.0, 0.2, 0.5, true);
  EXPECT_EQ(law.cal_output(0.0), 0.5);
  law.reset_error();
  EXPECT_EQ(law.cal_output(1.0), 0.2);
}

TEST(PidPoseLaw, TargetIsStoredButNeverChangesTheOutput)
{
  PID_pose plain(0.5, 0.2, 0.1, 0.0, 1.0, -1.0, true);
  PID_pose targeted(0.5, 0.2, 0.1, 0.0, 1.0, -1.0, true);
  targeted.set_target(4.0);
  EXPECT_EQ(targeted.target, 4.0);

  const std::vector<double> errors{0.3, -0.2, 0.8, 0.05};
  EXPECT_EQ(outputsFor(plain, errors), outputsFor(targeted, errors));
  // set_target also leaves the history alone.
  targeted.cal_output(0.4);
  targeted.set_target(-1.0);
  EXPECT_EQ(targeted.error_sum, 0.4);
  EXPECT_EQ(targeted.last_error, 0.4);
}

TEST(PidPoseLaw, SetParamAndResetClearTheHistory)
{
  PID_pose law(1.0, 1.0, 1.0, 0.0, 0.3, -0.3, false);
  law.cal_output(2.0);
  law.cal_output(3.0);

  law.set_param(0.5, 0.0, 0.0, 1.5, 0.1, -0.1);
  EXPECT_EQ(law.error, 0.0);
  EXPECT_EQ(law.last_error, 0.0);
  EXPECT_EQ(law.error_sum, 0.0);
  EXPECT_EQ(law.target, 1.5);
  EXPECT_FALSE(law.limit_output);  // as constructed: the new limits are not applied
  EXPECT_EQ(law.cal_output(4.0), 2.0);

  PID_pose limited(1.0, 0.0, 0.0, 0.0, 0.3, -0.3, true);
  limited.set_param(1.0, 0.0, 0.0, 0.0, 0.1, -0.1);
  EXPECT_TRUE(limited.limit_output);
  EXPECT_EQ(limited.cal_output(4.0), 0.1);

  PID_pose reset(0.0, 1.0, 1.0, 2.0, 0.3, -0.3, false);
  reset.cal_output(5.0);
  reset.reset_error();
  EXPECT_EQ(reset.error_sum, 0.0);
  EXPECT_EQ(reset.last_error, 0.0);
  EXPECT_EQ(reset.ki, 1.0);
  EXPECT_EQ(reset.target, 2.0);
  EXPECT_EQ(reset.cal_output(1.0), 1.0);  // derivative from 0, no integral carried over
}

TEST(PidPoseLaw, NonFiniteSampleGivesNeutralCommandAndLeavesHistoryIntact)
{
  PID_pose law(1.0, 0.5, 0.2, 0.0, 1.0, -1.0, false);
  PID_pose reference = law;
  law.cal_output(0.4);
  reference.cal_output(0.4);

  EXPECT_EQ(law.cal_output(kNaN), 0.0);
  EXPECT_EQ(law.cal_output(kInf), 0.0);
  EXPECT_EQ(law.cal_output(-kInf), 0.0);
  EXPECT_EQ(law.error, 0.4);
  EXPECT_EQ(law.error_sum, 0.4);
  // The law continues as if the bad samples had never come.
  EXPECT_EQ(law.cal_output(0.1), reference.cal_output(0.1));

  // With a limited range that excludes 0 the neutral command is brought into the range.
  PID_pose positive(1.0, 0.0, 0.0, 0.0, 0.5, 0.1, true);
  EXPECT_EQ(positive.cal_output(kNaN), 0.1);
}

TEST(PidPoseLaw, NonFiniteResultsNeverLeaveTheLaw)
{
  // Overflow of a finite product: saturates when limited, neutral when not.
  PID_pose limited(10.0, 0.0, 0.0, 0.0, 0.3, -0.3, true);
  EXPECT_EQ(limited.cal_output(1e308), 0.3);
  PID_pose unlimited(10.0, 0.0, 0.0, 0.0, 0.3, -0.3, false);
  EXPECT_EQ(unlimited.cal_output(1e308), 0.0);

  // A gain that is not a number.
  PID_pose bad_gain(kNaN, 0.0, 0.0, 0.0, 0.3, -0.3, true);
  EXPECT_EQ(bad_gain.cal_output(0.2), 0.0);

  // A sum that overflows is held finite, so a zero integral gain still contributes nothing.
  PID_pose huge(1e-308, 0.0, 0.0, 0.0, 0.3, -0.3, false);
  huge.cal_output(1.5e308);
  huge.cal_output(1.5e308);
  EXPECT_EQ(huge.error_sum, kMax);
  EXPECT_TRUE(std::isfinite(huge.cal_output(1.0)));
  EXPECT_EQ(huge.cal_output(1.0), 1e-308);
}
