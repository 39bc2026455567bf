# Loaded by find_package(pluginlib): the CMake side of exporting plugins.
include("${pluginlib_DIR}/pluginlib_export_plugin_description_file.cmake")

# The descriptions are registered in the ament index when the exporting package calls
# ament_package(), once all of them are known.
ament_register_extension("ament_package" "pluginlib" "pluginlib_package_hook.cmake")
