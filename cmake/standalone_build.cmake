# Standalone build: the core compiles against ros_lite, the robot side is provided in-tree.

function(velmora_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest_main GTest::gmock)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES TIMEOUT 300)
endfunction()

add_library(velmora_logger STATIC src/logger.cpp)
target_include_directories(velmora_logger PUBLIC ${PROJECT_SOURCE_DIR}/include)
target_link_libraries(velmora_logger PUBLIC spdlog::spdlog fmt::fmt PkgConfig::SYSTEMD)

add_subdirectory(robot_services)

if(BUILD_TESTING)
  velmora_add_test(test_logger SOURCES test/test_logger.cpp LIBS velmora_logger)
endif()
