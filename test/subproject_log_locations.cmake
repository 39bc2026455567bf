# Configures a throwaway outer project that adds this tree with add_subdirectory, and checks that
# the tree's compile flags map its own source directory (not the outer project's) to "./", so
# that log locations still read "./src/...".
#   cmake -DSOURCE_DIR=<this tree> -DWORK_DIR=<scratch directory> -P subproject_log_locations.cmake
file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}/outer")
file(WRITE "${WORK_DIR}/outer/CMakeLists.txt"
  "cmake_minimum_required(VERSION 3.22)\n"
  "project(outer LANGUAGES CXX)\n"
  "add_subdirectory(\"${SOURCE_DIR}\" inner)\n")
execute_process(
  COMMAND "${CMAKE_COMMAND}" -S "${WORK_DIR}/outer" -B "${WORK_DIR}/build" -DBUILD_TESTING=OFF
  RESULT_VARIABLE configured OUTPUT_QUIET ERROR_VARIABLE errors)
if(NOT configured EQUAL 0)
  message(FATAL_ERROR "the outer project did not configure: ${errors}")
endif()
file(READ "${WORK_DIR}/build/inner/CMakeFiles/velmora_logger.dir/flags.make" flags)
file(REMOVE_RECURSE "${WORK_DIR}")
string(FIND "${flags}" "-fmacro-prefix-map=${SOURCE_DIR}/=./" inner_mapped)
string(FIND "${flags}" "-fmacro-prefix-map=${WORK_DIR}/outer/=./" outer_mapped)
if(inner_mapped EQUAL -1 OR NOT outer_mapped EQUAL -1)
  message(FATAL_ERROR "log locations are not relative to the tree's own sources: ${flags}")
endif()
