#include "nav_2d_utils/tf_help.hpp"

namespace nav_2d_utils
{

bool transformPose(
  const std::shared_ptr<tf2_ros::Buffer> tf,
  const std::string frame,
  const geometry_msgs::msg::PoseStamped & in_pose,
  geometry_msgs::msg::PoseStamped & out_pose,
  rclcpp::Duration & transform_tolerance)
{
  if (in_pose.header.frame_id == frame) {
    out_pose = in_pose;
    return true;
  }

  const rclcpp::Logger logger = rclcpp::get_logger("tf_help");
  try {
    tf->transform(in_pose, out_pose, frame);
    return true;
  } catch (tf2::ExtrapolationException &) {
    const auto transform = tf->lookupTransform(frame, in_pose.header.frame_id, tf2::TimePointZero);
    if ((rclcpp::Time(in_pose.header.stamp) - rclcpp::Time(transform.header.stamp)) >
      transform_tolerance)
    {
      RCLCPP_ERROR(
        logger, "Transform data too old when converting from %s to %s",
        in_pose.header.frame_id.c_str(), frame.c_str());
      RCLCPP_ERROR(
        logger, "Data time: %ds %uns, Transform time: %ds %uns",
        in_pose.header.stamp.sec, in_pose.header.stamp.nanosec,
        transform.header.stamp.sec, transform.header.stamp.nanosec);
      return false;
    }
    tf2::doTransform(in_pose, out_pose, transform);
    return true;
  } catch (tf2::TransformException & ex) {
    RCLCPP_ERROR(logger, "Exception in transformPose: %s", ex.what());
    return false;
  }
}

bool transformPose(
  const std::shared_ptr<tf2_ros::Buffer> tf,
  const std::string frame,
  const nav_2d_msgs::msg::Pose2DStamped & in_pose,
  nav_2d_msgs::msg::Pose2DStamped & out_pose,
  rclcpp::Duration & transform_tolerance)
{
  const geometry_msgs::msg::PoseStamped in_3d_pose = pose2DToPoseStamped(in_pose);
  geometry_msgs::msg::PoseStamped out_3d_pose;
  const bool ret = transformPose(tf, frame, in_3d_pose, out_3d_pose, transform_tolerance);
  if (ret) {
    out_pose = poseStampedToPose2D(out_3d_pose);
  }
  return ret;
}

}  // namespace nav_2d_utils
