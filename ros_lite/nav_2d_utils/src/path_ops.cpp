#include "nav_2d_utils/path_ops.hpp"

#include <cmath>

namespace nav_2d_utils
{

nav_2d_msgs::msg::Path2D adjustPlanResolution(
  const nav_2d_msgs::msg::Path2D & global_plan_in, double resolution)
{
  nav_2d_msgs::msg::Path2D global_plan_out;
  global_plan_out.header = global_plan_in.header;
  if (global_plan_in.poses.empty()) {
    return global_plan_out;
  }

  // `last` follows the positions of the input poses; its heading stays that of the first pose,
  // so inserted headings are blended from the first pose's heading. Nav2 Humble does the same;
  // kept so that both builds produce identical plans.
  geometry_msgs::msg::Pose2D last = global_plan_in.poses.front();
  global_plan_out.poses.push_back(last);

  // Only gaps wider than two cells are filled; a gap between one and two cells stays as it is.
  const double sq_fill_distance = 4.0 * resolution * resolution;
  for (size_t i = 1; i < global_plan_in.poses.size(); ++i) {
    const geometry_msgs::msg::Pose2D & loop = global_plan_in.poses[i];
    const double sq_dist = (loop.x - last.x) * (loop.x - last.x) + (loop.y - last.y) * (loop.y - last.y);
    if (sq_dist > sq_fill_distance) {
      const double diff = std::sqrt(sq_dist) - resolution;
      const double steps_double = std::ceil(diff / resolution) + 1.0;
      const int steps = static_cast<int>(steps_double);
      const double delta_x = (loop.x - last.x) / steps_double;
      const double delta_y = (loop.y - last.y) / steps_double;
      const double delta_t = (loop.theta - last.theta) / steps_double;
      for (int j = 1; j < steps; ++j) {
        geometry_msgs::msg::Pose2D pose;
        pose.x = last.x + j * delta_x;
        pose.y = last.y + j * delta_y;
        pose.theta = last.theta + j * delta_t;
        global_plan_out.poses.push_back(pose);
      }
    }
    global_plan_out.poses.push_back(loop);
    last.x = loop.x;
    last.y = loop.y;
  }
  return global_plan_out;
}

}  // namespace nav_2d_utils
