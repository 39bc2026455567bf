#ifndef ROS_LITE__TESTING__TESTING_HPP_
#define ROS_LITE__TESTING__TESTING_HPP_

#include "ros_lite/testing/ros_context.hpp"
#include "ros_lite/testing/topic_recorder.hpp"

#endif  // ROS_LITE__TESTING__TESTING_HPP_
