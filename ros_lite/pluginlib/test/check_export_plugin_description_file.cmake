# Configures and installs export_sample/, then checks what pluginlib::ClassLoader will read: the
# description files under share/<package>/ and one ament index resource per category listing
# them relative to the prefix. Also checks that a missing description file stops the configure.
foreach(var PLUGINLIB_CMAKE_DIR SAMPLE_SOURCE_DIR WORK_DIR Python3_EXECUTABLE)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "${var} is not set")
  endif()
endforeach()

file(REMOVE_RECURSE ${WORK_DIR})
# The sample's package.xml is written here rather than kept in the source tree, where a second
# package.xml inside this package would confuse tools that look for packages.
set(source_dir ${WORK_DIR}/source)
file(COPY ${SAMPLE_SOURCE_DIR}/ DESTINATION ${source_dir})
file(WRITE ${source_dir}/package.xml [=[<?xml version="1.0"?>
<package format="3">
  <name>pluginlib_export_sample</name>
  <version>0.0.0</version>
  <description>Exports plugin descriptions with pluginlib's CMake macro.</description>
  <maintainer email="maintainers@users.noreply.c-seed-4e284d99.example">Velmora maintainers</maintainer>
  <license>Proprietary</license>
  <buildtool_depend>ament_cmake</buildtool_depend>
  <depend>pluginlib</depend>
  <export>
    <build_type>ament_cmake</build_type>
  </export>
</package>
]=])
set(build_dir ${WORK_DIR}/build)
set(install_dir ${WORK_DIR}/install)
set(configure_args
  -S ${source_dir}
  -DCMAKE_INSTALL_PREFIX=${install_dir}
  -Dpluginlib_DIR=${PLUGINLIB_CMAKE_DIR}
  -DPython3_EXECUTABLE=${Python3_EXECUTABLE}
  -DBUILD_TESTING=OFF)

execute_process(
  COMMAND ${CMAKE_COMMAND} ${configure_args} -B ${build_dir}
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "configuring the sample failed:\n${output}")
endif()
execute_process(
  COMMAND ${CMAKE_COMMAND} --install ${build_dir}
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "installing the sample failed:\n${output}")
endif()

function(expect_file path expected_content)
  if(NOT EXISTS ${install_dir}/${path})
    message(FATAL_ERROR "${path} was not installed")
  endif()
  file(READ ${install_dir}/${path} content)
  if(NOT content STREQUAL expected_content)
    message(FATAL_ERROR "${path} holds\n'${content}'\ninstead of\n'${expected_content}'")
  endif()
endfunction()

file(READ ${SAMPLE_SOURCE_DIR}/shapes.xml shapes)
file(READ ${SAMPLE_SOURCE_DIR}/nested/tools.xml tools)
expect_file(share/pluginlib_export_sample/shapes.xml "${shapes}")
expect_file(share/pluginlib_export_sample/nested/tools.xml "${tools}")
set(index share/ament_index/resource_index)
expect_file(${index}/pluginlib_test_bases__pluginlib__plugin/pluginlib_export_sample
  "share/pluginlib_export_sample/shapes.xml\nshare/pluginlib_export_sample/nested/tools.xml\n")
expect_file(${index}/other_category__pluginlib__plugin/pluginlib_export_sample
  "share/pluginlib_export_sample/shapes.xml\n")
expect_file(${index}/packages/pluginlib_export_sample "")

execute_process(
  COMMAND ${CMAKE_COMMAND} ${configure_args} -B ${WORK_DIR}/build_missing
    -DEXPORT_MISSING_FILE=ON
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(result EQUAL 0)
  message(FATAL_ERROR "exporting a missing description file did not fail the configure")
endif()
# CMake wraps long messages; compare with the line breaks folded away.
string(REGEX REPLACE "[ \n]+" " " output "${output}")
string(FIND "${output}" "missing.xml' does not exist" found)
if(found EQUAL -1)
  message(FATAL_ERROR "the configure failed without naming the missing file:\n${output}")
endif()
message(STATUS "pluginlib_export_plugin_description_file works as expected")
