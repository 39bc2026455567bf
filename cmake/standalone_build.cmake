# Standalone build: the core compiles against ros_lite, the robot side is provided in-tree.

function(velmora_add_test name)
  if(BUILD_TESTING)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest_main GTest::gmock)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES TIMEOUT 300)
  endif()
endfunction()

include(cmake/core.cmake)
# A ROS 2 install has pluginlib open the DWB generator and critic libraries at run time; here
# they are linked into the core, so their registrations come with every program that uses it.
if(TARGET velmora_nav2_controller_core)
  ros_lite_link_plugin_libraries(velmora_nav2_controller_core PRIVATE
    standard_traj_generator dwb_critics)
endif()
