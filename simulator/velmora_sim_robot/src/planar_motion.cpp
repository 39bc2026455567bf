#include "velmora_sim_robot/planar_motion.hpp"

#include <cmath>

namespace velmora_sim_robot
{

namespace
{
constexpr double kFullTurn = 2.0 * 3.14159265358979323846;
// Below this turned angle the closed form divides nearly zero by nearly zero; the series is
// exact to rounding there.
constexpr double kSmallAngle = 1e-6;
}  // namespace

bool operator==(const BodyTwist & left, const BodyTwist & right)
{
  return left.vx == right.vx && left.vy == right.vy && left.wz == right.wz;
}

bool operator!=(const BodyTwist & left, const BodyTwist & right)
{
  return !(left == right);
}

double wrapAngle(double angle)
{
  return std::remainder(angle, kFullTurn);
}

PlanarPose integrateTwist(const PlanarPose & start, const BodyTwist & twist, double seconds)
{
  const double turned = twist.wz * seconds;
  // Displacement in the start's body frame: the exponential map of the planar twist.
  // along = sin(turned) / wz, across = (1 - cos(turned)) / wz, both per unit of speed.
  double along = seconds;
  double across = 0.5 * turned * seconds;
  if (std::abs(turned) >= kSmallAngle) {
    along = std::sin(turned) / twist.wz;
    across = (1.0 - std::cos(turned)) / twist.wz;
  }
  const PlanarPose displacement{
    twist.vx * along - twist.vy * across, twist.vx * across + twist.vy * along, turned};
  return compose(start, displacement);
}

PlanarPose compose(const PlanarPose & frame, const PlanarPose & local)
{
  const double cos_yaw = std::cos(frame.yaw);
  const double sin_yaw = std::sin(frame.yaw);
  return PlanarPose{
    frame.x + cos_yaw * local.x - sin_yaw * local.y,
    frame.y + sin_yaw * local.x + cos_yaw * local.y,
    wrapAngle(frame.yaw + local.yaw)};
}

}  // namespace velmora_sim_robot
