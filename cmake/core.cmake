# The core and the robot side: the same targets in both builds.

add_library(velmora_logger STATIC src/logger.cpp)
target_include_directories(velmora_logger PUBLIC
  $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include> $<INSTALL_INTERFACE:include>)
target_link_libraries(velmora_logger PUBLIC spdlog::spdlog fmt::fmt PkgConfig::SYSTEMD)

add_subdirectory(robot_services)

velmora_add_test(test_logger SOURCES test/test_logger.cpp LIBS velmora_logger)

add_library(velmora_nav2_base_class STATIC src/thread_pool.cpp)
target_include_directories(velmora_nav2_base_class PUBLIC
  $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include> $<INSTALL_INTERFACE:include>)
target_link_libraries(velmora_nav2_base_class PUBLIC velmora_logger Threads::Threads)

velmora_add_test(test_thread_pool SOURCES test/test_thread_pool.cpp LIBS velmora_nav2_base_class)
