# Configures (and with BUILD also builds, regenerates and installs) one small interface package.
# With EXPECT_ERROR the configuration must fail and its error must contain that text.
#   cmake -DSOURCE_DIR=... -DWORK_DIR=... -DGENERATORS_DIR=... -DPYTHON=... [-DCASE=...]
#         [-DEXPECT_ERROR=...] [-DBUILD=TRUE] -P run_rules_case.cmake

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  # CMake wraps long messages; compare on single spaces.
  string(REGEX REPLACE "[ \t\r\n]+" " " flat "${out} ${err}")
  set(run_result "${result}" PARENT_SCOPE)
  set(run_output "${flat}" PARENT_SCOPE)
endfunction()

function(expect_file path)
  if(NOT EXISTS "${path}")
    message(FATAL_ERROR "missing: ${path}")
  endif()
endfunction()

set(source "${WORK_DIR}/src")
set(build "${WORK_DIR}/build")
file(REMOVE_RECURSE "${WORK_DIR}")
# A copy, so that the definitions can be edited.
file(COPY "${SOURCE_DIR}/" DESTINATION "${source}")

# action_msgs must stay out of reach, whatever else the environment's prefixes hold.
run("${CMAKE_COMMAND}" -S "${source}" -B "${build}"
  "-Drosidl_default_generators_DIR=${GENERATORS_DIR}"
  "-DPython3_EXECUTABLE=${PYTHON}"
  "-DCASE=${CASE}"
  -DCMAKE_DISABLE_FIND_PACKAGE_action_msgs=TRUE
  -DBUILD_TESTING=OFF)

if(NOT EXPECT_ERROR STREQUAL "")
  if(run_result EQUAL 0)
    message(FATAL_ERROR "configuring succeeded; expected the error: ${EXPECT_ERROR}")
  endif()
  string(FIND "${run_output}" "${EXPECT_ERROR}" found)
  if(found EQUAL -1)
    message(FATAL_ERROR "configuring failed without the error '${EXPECT_ERROR}':\n${run_output}")
  endif()
  message(STATUS "refused as expected: ${EXPECT_ERROR}")
  return()
endif()

if(NOT run_result EQUAL 0)
  message(FATAL_ERROR "configuring failed:\n${run_output}")
endif()
if(NOT BUILD)
  return()
endif()

run("${CMAKE_COMMAND}" --build "${build}")
if(NOT run_result EQUAL 0)
  message(FATAL_ERROR "building failed:\n${run_output}")
endif()
set(header "${build}/rosidl_generator_cpp/sample_interfaces/msg/sample.hpp")
expect_file("${header}")
run("${build}/use_sample")
if(NOT run_result EQUAL 0)
  message(FATAL_ERROR "the program using the generated type failed: ${run_output}")
endif()

# Editing a definition must regenerate its header on the next build, without reconfiguring.
file(APPEND "${source}/msg/Sample.msg" "float64 added_later\n")
run("${CMAKE_COMMAND}" --build "${build}")
if(NOT run_result EQUAL 0)
  message(FATAL_ERROR "rebuilding failed:\n${run_output}")
endif()
file(READ "${header}" text)
string(FIND "${text}" "_added_later_type added_later;" found)
if(found EQUAL -1)
  message(FATAL_ERROR "the header was not regenerated after the definition changed:\n${text}")
endif()

run("${CMAKE_COMMAND}" --install "${build}" --prefix "${WORK_DIR}/install")
if(NOT run_result EQUAL 0)
  message(FATAL_ERROR "installing failed:\n${run_output}")
endif()
set(prefix "${WORK_DIR}/install")
expect_file("${prefix}/include/sample_interfaces/sample_interfaces/msg/sample.hpp")
expect_file("${prefix}/include/sample_interfaces/sample_interfaces/srv/query.hpp")
expect_file("${prefix}/share/sample_interfaces/msg/Sample.msg")
expect_file("${prefix}/share/sample_interfaces/srv/Query.srv")
expect_file("${prefix}/share/ament_index/resource_index/rosidl_interfaces/sample_interfaces")
expect_file("${prefix}/share/sample_interfaces/cmake/sample_interfacesConfig.cmake")
expect_file(
  "${prefix}/share/sample_interfaces/cmake/export_sample_interfaces__rosidl_generator_cppExport.cmake")
expect_file(
  "${prefix}/share/sample_interfaces/cmake/export_sample_interfaces__rosidl_typesupport_cppExport.cmake")
message(STATUS "generated, regenerated and installed")
