# Brought in by find_package(rosidl_default_generators): the functions an interface package
# calls to turn its .msg/.srv/.action files into C++ types.

# The generator is a Python script; it runs under the interpreter CMake finds (honouring
# Python3_EXECUTABLE), never whatever python3 is first on PATH.
find_package(Python3 REQUIRED COMPONENTS Interpreter)

get_filename_component(rosidl_default_generators_GENERATOR_SCRIPT
  "${rosidl_default_generators_DIR}/../../../lib/rosidl_default_generators/generate_interfaces.py"
  ABSOLUTE)
if(NOT EXISTS "${rosidl_default_generators_GENERATOR_SCRIPT}")
  message(FATAL_ERROR "rosidl_default_generators: the generator "
    "'${rosidl_default_generators_GENERATOR_SCRIPT}' is missing from the installation")
endif()

include("${rosidl_default_generators_DIR}/rosidl_generate_interfaces.cmake")
include("${rosidl_default_generators_DIR}/rosidl_get_typesupport_target.cmake")
