#
# Export a plugin description file of this package for the plugin category (the package that
# owns the plugins' base class, the first argument of pluginlib::ClassLoader).
#
# The file is installed to share/${PROJECT_NAME}/ (keeping its sub-directories) and, when
# ament_package() runs, registered in the ament index under the resource type
# "<plugin_category>__pluginlib__plugin", where pluginlib::ClassLoader finds it. Call it before
# ament_package().
#
# :param plugin_category: the package name of the plugins' base class
# :type plugin_category: string
# :param relative_filename: the description file, relative to the current source directory
# :type relative_filename: string
#
macro(pluginlib_export_plugin_description_file plugin_category relative_filename)
  if(IS_ABSOLUTE "${relative_filename}")
    message(FATAL_ERROR "pluginlib_export_plugin_description_file() expects the plugin "
      "description file relative to the current source directory, got '${relative_filename}'")
  endif()
  set(_pluginlib_abs_filename "${CMAKE_CURRENT_SOURCE_DIR}/${relative_filename}")
  if(NOT EXISTS "${_pluginlib_abs_filename}")
    message(FATAL_ERROR "pluginlib_export_plugin_description_file() the plugin description "
      "file '${_pluginlib_abs_filename}' does not exist")
  endif()
  if(_${PROJECT_NAME}_AMENT_PACKAGE)
    message(FATAL_ERROR "pluginlib_export_plugin_description_file() must be called before "
      "ament_package()")
  endif()

  get_filename_component(_pluginlib_relative_dir "${relative_filename}" DIRECTORY)
  install(FILES "${_pluginlib_abs_filename}"
    DESTINATION "share/${PROJECT_NAME}/${_pluginlib_relative_dir}")

  list(APPEND __PLUGINLIB_PLUGIN_CATEGORIES "${plugin_category}")
  list(REMOVE_DUPLICATES __PLUGINLIB_PLUGIN_CATEGORIES)
  list(APPEND __PLUGINLIB_PLUGIN_CATEGORIES_${plugin_category}
    "share/${PROJECT_NAME}/${relative_filename}")
endmacro()
