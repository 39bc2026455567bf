#
# Generate the C++ types of a package's interface definitions.
#
#   rosidl_generate_interfaces(target files...
#     [DEPENDENCIES pkgs...] [LIBRARY_NAME name]
#     [SKIP_INSTALL] [ADD_LINTER_TESTS] [SKIP_GROUP_MEMBERSHIP_CHECK])
#
# Files are relative to the package folder; the folder a file sits in (msg, srv or action)
# decides its kind. Every package in DEPENDENCIES must have been find_package()'d. For an action
# action_msgs is found here and added to the dependencies, together with builtin_interfaces and
# unique_identifier_msgs, which the generated goal/result services use.
#
# Defines the custom target `target` that writes the headers, the INTERFACE targets
# `target__rosidl_generator_cpp` (the headers, linked to the dependencies' generator targets and
# rosidl_runtime_cpp) and `target__rosidl_typesupport_cpp` (what code using the types links), and
# unless SKIP_INSTALL installs and exports both as `${PROJECT_NAME}::...` together with the
# dependencies. Headers are installed to include/${PROJECT_NAME}/${PROJECT_NAME}/<kind>/.
#
# LIBRARY_NAME names the libraries a generator builds (kept in
# rosidl_generate_interfaces_LIBRARY_NAME); every target here is header-only, so no file
# carries it.
#
# A macro rather than a function: what it finds (action_msgs) and what it exports (the ament
# export macros collect into the caller's variables) must reach the calling package's scope.
#
macro(rosidl_generate_interfaces target)
  if(_${PROJECT_NAME}_AMENT_PACKAGE)
    message(FATAL_ERROR
      "rosidl_generate_interfaces() must be called before ament_package()")
  endif()
  cmake_parse_arguments(_rosidl_ARG
    "ADD_LINTER_TESTS;SKIP_INSTALL;SKIP_GROUP_MEMBERSHIP_CHECK"
    "LIBRARY_NAME"
    "DEPENDENCIES"
    ${ARGN})
  if("LIBRARY_NAME" IN_LIST _rosidl_ARG_KEYWORDS_MISSING_VALUES)
    message(FATAL_ERROR "rosidl_generate_interfaces() LIBRARY_NAME given without a name")
  endif()
  if(NOT _rosidl_ARG_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "rosidl_generate_interfaces() called without any interface files")
  endif()
  if(TARGET ${target})
    message(FATAL_ERROR
      "rosidl_generate_interfaces() the target name '${target}' is already in use")
  endif()

  if(NOT _rosidl_ARG_SKIP_GROUP_MEMBERSHIP_CHECK)
    if(NOT _AMENT_PACKAGE_NAME)
      ament_package_xml()
    endif()
    if(NOT "rosidl_interface_packages" IN_LIST ${_AMENT_PACKAGE_NAME}_MEMBER_OF_GROUPS)
      message(FATAL_ERROR
        "Packages installing interfaces must include "
        "'<member_of_group>rosidl_interface_packages</member_of_group>' "
        "in their package.xml")
    endif()
  endif()

  _rosidl_resolve_interface_files(_rosidl_files _rosidl_first_action
    ${_rosidl_ARG_UNPARSED_ARGUMENTS})

  set(_rosidl_dependencies ${_rosidl_ARG_DEPENDENCIES})
  if(_rosidl_first_action)
    find_package(action_msgs QUIET)
    if(NOT action_msgs_FOUND)
      message(FATAL_ERROR
        "Unable to generate action interface for '${_rosidl_first_action}'. "
        "In order to generate action interfaces you must add a depend tag "
        "for 'action_msgs' in your package.xml.")
    endif()
    # The goal/result services of an action carry a goal id and a time stamp.
    list(APPEND _rosidl_dependencies action_msgs builtin_interfaces unique_identifier_msgs)
  endif()
  list(REMOVE_DUPLICATES _rosidl_dependencies)
  foreach(_rosidl_dep IN LISTS _rosidl_dependencies)
    if(NOT ${_rosidl_dep}_FOUND)
      message(FATAL_ERROR "rosidl_generate_interfaces() dependency '${_rosidl_dep}' "
        "was not found: use find_package(${_rosidl_dep}) to find the dependency")
    endif()
  endforeach()

  _rosidl_generate_cpp("${target}" "${_rosidl_files}" "${_rosidl_dependencies}"
    "${_rosidl_ARG_SKIP_INSTALL}" "${_rosidl_ARG_ADD_LINTER_TESTS}")
  set(rosidl_generate_interfaces_LIBRARY_NAME "${_rosidl_ARG_LIBRARY_NAME}")

  if(NOT _rosidl_ARG_SKIP_INSTALL)
    ament_export_dependencies(rosidl_runtime_cpp ${_rosidl_dependencies})
    ament_export_include_directories("include/${PROJECT_NAME}")
    # The generator target first: the typesupport export refers to it.
    ament_export_targets(
      export_${target}__rosidl_generator_cpp
      export_${target}__rosidl_typesupport_cpp)
  endif()
endmacro()

# Absolute paths of the listed files, checked; `first_action_var` gets the first action file
# (empty when there is none).
function(_rosidl_resolve_interface_files files_var first_action_var)
  set(files)
  set(first_action "")
  foreach(file IN LISTS ARGN)
    if(IS_ABSOLUTE "${file}")
      file(RELATIVE_PATH relative "${CMAKE_CURRENT_SOURCE_DIR}" "${file}")
      if(relative MATCHES "^\\.\\./")
        message(FATAL_ERROR "rosidl_generate_interfaces() the passed file '${file}' "
          "is not inside the package folder '${CMAKE_CURRENT_SOURCE_DIR}'")
      endif()
    else()
      set(relative "${file}")
    endif()
    set(absolute "${CMAKE_CURRENT_SOURCE_DIR}/${relative}")
    if(NOT EXISTS "${absolute}" OR IS_DIRECTORY "${absolute}")
      message(FATAL_ERROR
        "rosidl_generate_interfaces() the passed file '${file}' doesn't exist")
    endif()
    get_filename_component(kind "${relative}" DIRECTORY)
    get_filename_component(kind "${kind}" NAME)
    get_filename_component(extension "${relative}" LAST_EXT)
    if(NOT kind MATCHES "^(msg|srv|action)$")
      message(FATAL_ERROR "rosidl_generate_interfaces() the passed file '${file}' "
        "must be in a folder named msg, srv or action")
    endif()
    if(NOT extension STREQUAL ".${kind}")
      message(FATAL_ERROR "rosidl_generate_interfaces() the passed file '${file}' "
        "is in the '${kind}' folder but does not end in '.${kind}'")
    endif()
    if(kind STREQUAL "action" AND first_action STREQUAL "")
      set(first_action "${relative}")
    endif()
    list(APPEND files "${absolute}")
  endforeach()
  list(REMOVE_DUPLICATES files)
  set(${files_var} "${files}" PARENT_SCOPE)
  set(${first_action_var} "${first_action}" PARENT_SCOPE)
endfunction()

function(_rosidl_generate_cpp target files dependencies skip_install add_linter_tests)
  set(generator "${rosidl_default_generators_GENERATOR_SCRIPT}")
  set(output_dir "${CMAKE_CURRENT_BINARY_DIR}/rosidl_generator_cpp")
  get_target_property(python Python3::Interpreter IMPORTED_LOCATION)

  # The header names are needed now, to install them and to tell the build what the
  # generator writes; the generator itself is the one place that knows them.
  execute_process(
    COMMAND "${python}" "${generator}" --package "${PROJECT_NAME}" --list-outputs ${files}
    OUTPUT_VARIABLE relative_headers OUTPUT_STRIP_TRAILING_WHITESPACE
    ERROR_VARIABLE error RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "rosidl_generate_interfaces() cannot list the headers: ${error}")
  endif()
  list(TRANSFORM relative_headers PREPEND "${output_dir}/" OUTPUT_VARIABLE headers)

  # The generator leaves a header untouched when its text is unchanged, so code including it is
  # not recompiled; the stamp records that the definitions were processed.
  set(stamp "${CMAKE_CURRENT_BINARY_DIR}/${target}__rosidl_generator_cpp.stamp")
  add_custom_command(
    OUTPUT "${stamp}"
    BYPRODUCTS ${headers}
    COMMAND Python3::Interpreter "${generator}" --package "${PROJECT_NAME}"
            --output "${output_dir}" ${files}
    COMMAND "${CMAKE_COMMAND}" -E touch "${stamp}"
    DEPENDS ${files} "${generator}"
    COMMENT "Generating C++ code for ROS interfaces of ${PROJECT_NAME}"
    VERBATIM)
  add_custom_target(${target} ALL DEPENDS "${stamp}" SOURCES ${files})

  set(generator_target ${target}__rosidl_generator_cpp)
  add_library(${generator_target} INTERFACE)
  add_library(${PROJECT_NAME}::${generator_target} ALIAS ${generator_target})
  add_dependencies(${generator_target} ${target})
  target_include_directories(${generator_target} INTERFACE
    "$<BUILD_INTERFACE:${output_dir}>"
    "$<INSTALL_INTERFACE:include/${PROJECT_NAME}>")
  target_link_libraries(${generator_target} INTERFACE rosidl_runtime_cpp::rosidl_runtime_cpp)
  foreach(dependency IN LISTS dependencies)
    set(dependency_target ${dependency}::${dependency}__rosidl_generator_cpp)
    if(NOT TARGET ${dependency_target})
      message(FATAL_ERROR "rosidl_generate_interfaces() dependency '${dependency}' "
        "is not an interface package (it has no target '${dependency_target}')")
    endif()
    target_link_libraries(${generator_target} INTERFACE ${dependency_target})
  endforeach()

  set(typesupport_target ${target}__rosidl_typesupport_cpp)
  add_library(${typesupport_target} INTERFACE)
  add_library(${PROJECT_NAME}::${typesupport_target} ALIAS ${typesupport_target})
  target_link_libraries(${typesupport_target} INTERFACE ${generator_target})

  if(add_linter_tests AND BUILD_TESTING)
    _rosidl_add_header_check(${target} ${generator_target} "${relative_headers}")
  endif()

  if(NOT skip_install)
    foreach(relative IN LISTS relative_headers)
      get_filename_component(subdir "${relative}" DIRECTORY)
      install(FILES "${output_dir}/${relative}" DESTINATION "include/${PROJECT_NAME}/${subdir}")
    endforeach()
    set(index_content "")
    foreach(file IN LISTS files)
      file(RELATIVE_PATH relative "${CMAKE_CURRENT_SOURCE_DIR}" "${file}")
      get_filename_component(subdir "${relative}" DIRECTORY)
      install(FILES "${file}" DESTINATION "share/${PROJECT_NAME}/${subdir}")
      string(APPEND index_content "${relative}\n")
    endforeach()
    ament_index_register_resource("rosidl_interfaces" CONTENT "${index_content}")
    install(TARGETS ${generator_target} EXPORT export_${generator_target})
    install(TARGETS ${typesupport_target} EXPORT export_${typesupport_target})
  endif()
endfunction()

# Every generated header must compile on its own, warning-free, in a translation unit that
# includes nothing else: a consumer includes exactly the one header of the type it uses.
function(_rosidl_add_header_check target generator_target relative_headers)
  set(check_dir "${CMAKE_CURRENT_BINARY_DIR}/rosidl_generator_cpp_header_check")
  set(sources)
  foreach(relative IN LISTS relative_headers)
    string(MAKE_C_IDENTIFIER "${relative}" name)
    set(source "${check_dir}/${name}.cpp")
    file(CONFIGURE OUTPUT "${source}" CONTENT "#include \"${relative}\"\n")
    list(APPEND sources "${source}")
  endforeach()
  set(check_target ${target}__rosidl_header_check)
  add_library(${check_target} OBJECT EXCLUDE_FROM_ALL ${sources})
  target_link_libraries(${check_target} PRIVATE ${generator_target})
  if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    target_compile_options(${check_target} PRIVATE -Wall -Wextra -Wpedantic -Werror)
  endif()
  ament_add_test(${target}__header_check
    GENERATE_RESULT_FOR_RETURN_CODE_ZERO
    COMMAND "${CMAKE_COMMAND}" --build "${CMAKE_BINARY_DIR}" --target ${check_target}
    TIMEOUT 300)
endfunction()
