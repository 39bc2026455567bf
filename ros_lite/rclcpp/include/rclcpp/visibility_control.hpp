#ifndef RCLCPP__VISIBILITY_CONTROL_HPP_
#define RCLCPP__VISIBILITY_CONTROL_HPP_

// The libraries are built with default visibility, so the export markers are empty.
#define RCLCPP_EXPORT
#define RCLCPP_IMPORT
#define RCLCPP_PUBLIC
#define RCLCPP_LOCAL
#define RCLCPP_PUBLIC_TYPE

#endif  // RCLCPP__VISIBILITY_CONTROL_HPP_
