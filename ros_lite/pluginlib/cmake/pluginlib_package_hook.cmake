# Run by ament_package(): one ament index resource per plugin category, listing this package's
# description files for it relative to the install prefix, one a line.
foreach(_pluginlib_category IN LISTS __PLUGINLIB_PLUGIN_CATEGORIES)
  set(_pluginlib_content "")
  foreach(_pluginlib_file IN LISTS __PLUGINLIB_PLUGIN_CATEGORIES_${_pluginlib_category})
    string(APPEND _pluginlib_content "${_pluginlib_file}\n")
  endforeach()
  ament_index_register_resource("${_pluginlib_category}__pluginlib__plugin"
    CONTENT "${_pluginlib_content}")
endforeach()
