# ROS 2 build: the same sources compile against a sourced Humble workspace. The interface
# packages under interfaces/ are colcon packages of their own (see README), built first.
#
# Each ROS package the tree uses is wrapped in an INTERFACE target of the same name as its
# ros_lite stand-in, so the CMakeLists of the robot side and of the core read the same in
# both builds.

set(VELMORA_ROS_PACKAGES
  rclcpp rclcpp_lifecycle rclcpp_action tf2 tf2_ros tf2_geometry_msgs
  pluginlib nav2_util nav2_core nav2_costmap_2d nav_2d_utils dwb_core)
set(VELMORA_ROS_MESSAGE_PACKAGES
  builtin_interfaces std_msgs geometry_msgs nav_msgs nav_2d_msgs dwb_msgs rcl_interfaces
  lifecycle_msgs action_msgs velmora_protocol velmora_nav2_protocol)

foreach(package IN LISTS VELMORA_ROS_PACKAGES VELMORA_ROS_MESSAGE_PACKAGES)
  find_package(${package} REQUIRED)
endforeach()
foreach(package IN LISTS VELMORA_ROS_PACKAGES)
  add_library(${package} INTERFACE)
  ament_target_dependencies(${package} INTERFACE ${package})
endforeach()
add_library(ros_lite_msgs INTERFACE)
ament_target_dependencies(ros_lite_msgs INTERFACE ${VELMORA_ROS_MESSAGE_PACKAGES})

function(velmora_add_test name)
  if(BUILD_TESTING)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    find_package(ament_cmake_gtest REQUIRED)
    ament_add_gtest(${name} ${ARG_SOURCES} TIMEOUT 300)
    target_link_libraries(${name} ${ARG_LIBS} gmock)
  endif()
endfunction()

include(cmake/core.cmake)
# The three checkers, found by pluginlib through the ament index.
pluginlib_export_plugin_description_file(nav2_core plugins.xml)

install(DIRECTORY include/ DESTINATION include/)
install(DIRECTORY config/ DESTINATION share/${PROJECT_NAME}/config)
ament_export_include_directories(include)
ament_export_dependencies(${VELMORA_ROS_PACKAGES} ${VELMORA_ROS_MESSAGE_PACKAGES})
ament_package()
