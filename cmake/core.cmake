# The core and the robot side: the same targets in both builds.

add_library(velmora_logger STATIC src/logger.cpp)
target_include_directories(velmora_logger PUBLIC
  $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include> $<INSTALL_INTERFACE:include>)
target_link_libraries(velmora_logger PUBLIC spdlog::spdlog fmt::fmt PkgConfig::SYSTEMD)

add_library(velmora_nav2_base_class STATIC src/thread_pool.cpp)
target_link_libraries(velmora_nav2_base_class PUBLIC velmora_logger Threads::Threads)

add_subdirectory(robot_services)

# The controller server library: every source under src/ but the two small libraries above.
file(GLOB core_sources CONFIGURE_DEPENDS src/*.cpp src/goal_check/*.cpp)
list(REMOVE_ITEM core_sources
  ${PROJECT_SOURCE_DIR}/src/logger.cpp ${PROJECT_SOURCE_DIR}/src/thread_pool.cpp)
if(core_sources)
add_library(velmora_nav2_controller_core SHARED ${core_sources})
target_link_libraries(velmora_nav2_controller_core PUBLIC
  velmora_logger velmora_nav2_base_class
  rclcpp rclcpp_lifecycle rclcpp_action tf2 tf2_ros tf2_geometry_msgs
  pluginlib nav2_util nav2_core nav2_costmap_2d nav_2d_utils dwb_core ros_lite_msgs
  velmora_communicator velmora_nav2_gridmap velmora_collision velmora_base_robot
  velmora_pid_core velmora_teb_planner)
endif()

# One suite per file under test/; the two small libraries are tested on their own.
velmora_add_test(test_logger SOURCES test/test_logger.cpp LIBS velmora_logger)
velmora_add_test(test_thread_pool SOURCES test/test_thread_pool.cpp LIBS velmora_nav2_base_class)
file(GLOB core_tests CONFIGURE_DEPENDS test/test_*.cpp)
list(REMOVE_ITEM core_tests
  ${PROJECT_SOURCE_DIR}/test/test_logger.cpp ${PROJECT_SOURCE_DIR}/test/test_thread_pool.cpp)
foreach(test_source IN LISTS core_tests)
  get_filename_component(test_name ${test_source} NAME_WE)
  velmora_add_test(${test_name} SOURCES ${test_source}
    LIBS velmora_nav2_controller_core velmora_sim_robot)
  if(TARGET ${test_name})
    target_include_directories(${test_name} PRIVATE ${PROJECT_SOURCE_DIR}/test)
  endif()
endforeach()
add_subdirectory(apps)
# The suites on the whole simulated stack and on the simulator runner's pieces.
foreach(apps_suite
    test_end_to_end_lateral_move test_end_to_end_dwb test_end_to_end_teb_pid test_trace_writer
    test_scenario)
  if(TARGET ${apps_suite})
    target_link_libraries(${apps_suite} PRIVATE velmora_apps)
  endif()
endforeach()
# The long-running suites on the whole simulated stack; each can be run alone by its label.
foreach(suite_and_label test_goal_storm:storm test_lifecycle_churn:churn)
  string(REPLACE ":" ";" suite_and_label ${suite_and_label})
  list(GET suite_and_label 0 suite)
  list(GET suite_and_label 1 label)
  if(TARGET ${suite})
    target_link_libraries(${suite} PRIVATE velmora_apps)
    set_tests_properties(${suite} PROPERTIES LABELS ${label})
  endif()
endforeach()
if(TARGET test_bad_configuration)
  target_compile_definitions(test_bad_configuration PRIVATE
    VELMORA_LAUNCHER="$<TARGET_FILE:velmora_nav2_controller>"
    VELMORA_SIM_RUNNER="$<TARGET_FILE:velmora_nav2_sim>")
  add_dependencies(test_bad_configuration velmora_nav2_controller velmora_nav2_sim)
endif()
if(BUILD_TESTING)
  add_test(NAME test_subproject_log_locations COMMAND ${CMAKE_COMMAND}
    -DSOURCE_DIR=${PROJECT_SOURCE_DIR} -DWORK_DIR=${PROJECT_BINARY_DIR}/subproject_log_locations
    -P ${PROJECT_SOURCE_DIR}/test/subproject_log_locations.cmake)
endif()
add_subdirectory(bench)
