#include "pluginlib/impl/plugin_descriptions.hpp"

#include <tinyxml2.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <sstream>

#include "ament_index_cpp/get_package_prefix.hpp"
#include "ament_index_cpp/get_resource.hpp"
#include "ament_index_cpp/get_resources.hpp"
#include "ament_index_cpp/get_search_paths.hpp"
#include "class_loader/class_loader.hpp"
#include "pluginlib/exceptions.hpp"

namespace fs = std::filesystem;

namespace pluginlib
{
namespace impl
{

namespace
{

void log(const char * severity, const std::string & message)
{
  const auto since_epoch = std::chrono::system_clock::now().time_since_epoch();
  const long long nanoseconds =
    std::chrono::duration_cast<std::chrono::nanoseconds>(since_epoch).count();
  std::fprintf(
    stderr, "[%s] [%lld.%09lld] [pluginlib.ClassLoader]: %s\n", severity,
    nanoseconds / 1000000000LL, nanoseconds % 1000000000LL, message.c_str());
}

std::string extractPackageNameFromPackageXML(const std::string & package_xml_path)
{
  tinyxml2::XMLDocument document;
  document.LoadFile(package_xml_path.c_str());
  tinyxml2::XMLElement * package = document.FirstChildElement("package");
  if (package == nullptr) {
    log("ERROR", "Could not find a root element for package manifest at " + package_xml_path + ".");
    return "";
  }
  tinyxml2::XMLElement * name = package->FirstChildElement("name");
  if (name == nullptr || name->GetText() == nullptr) {
    log("ERROR", "package.xml at " + package_xml_path + " does not have a <name> tag! Cannot "
      "determine package which exports plugin.");
    return "";
  }
  return name->GetText();
}

// The package exporting a description: the one whose package.xml is nearest above the file (an
// installed package keeps its package.xml in share/<package>/ beside its descriptions).
std::string getPackageFromPluginXMLFilePath(const std::string & plugin_xml_file_path)
{
  fs::path directory = fs::path(plugin_xml_file_path).parent_path();
  while (!directory.empty()) {
    std::error_code error;
    if (fs::exists(directory / "package.xml", error)) {
      return extractPackageNameFromPackageXML((directory / "package.xml").string());
    }
    const fs::path parent = directory.parent_path();
    if (parent == directory) {
      break;
    }
    directory = parent;
  }
  return "";
}

std::string stripAllButFileFromPath(const std::string & path)
{
  const std::string::size_type separator = path.rfind('/');
  return separator == std::string::npos ? path : path.substr(separator + 1);
}

void processSingleXMLPluginFile(
  const std::string & xml_file, const std::string & base_class,
  std::map<std::string, ClassDesc> & classes_available)
{
  tinyxml2::XMLDocument document;
  document.LoadFile(xml_file.c_str());
  tinyxml2::XMLElement * config = document.RootElement();
  if (config == nullptr) {
    throw pluginlib::InvalidXMLException(
            "XML Document '" + xml_file +
            "' has no Root Element. This likely means the XML is malformed or missing.");
  }
  const char * config_value = config->Value();
  if (config_value == nullptr) {
    throw pluginlib::InvalidXMLException(
            "XML Document '" + xml_file +
            "' has an invalid Root Element. This likely means the XML is malformed or missing.");
  }
  const std::string root_tag(config_value);
  if (root_tag != "library" && root_tag != "class_libraries") {
    throw pluginlib::InvalidXMLException(
            "The XML document '" + xml_file + "' given to add must have either \"library\" or "
            "\"class_libraries\" as the root tag");
  }
  if (root_tag == "class_libraries") {
    config = config->FirstChildElement("library");
  }

  for (tinyxml2::XMLElement * library = config; library != nullptr;
    library = library->NextSiblingElement("library"))
  {
    const char * path = library->Attribute("path");
    if (path == nullptr || std::string(path).empty()) {
      log("ERROR", "Attribute 'path' in 'library' tag is missing in " + xml_file + ".");
      continue;
    }
    const std::string library_path(path);

    const std::string package_name = getPackageFromPluginXMLFilePath(xml_file);
    if (package_name.empty()) {
      log("ERROR", "Could not find package manifest (neither package.xml or deprecated "
        "manifest.xml) at same directory level as the plugin XML file " + xml_file +
        ". Plugins will likely not be exported properly.");
    }

    for (tinyxml2::XMLElement * class_element = library->FirstChildElement("class");
      class_element != nullptr; class_element = class_element->NextSiblingElement("class"))
    {
      const char * type = class_element->Attribute("type");
      if (type == nullptr) {
        throw pluginlib::ClassLoaderException(
                "Class could not be loaded. Attribute 'type' in class tag is missing.");
      }
      const char * base_class_type = class_element->Attribute("base_class_type");
      if (base_class_type == nullptr) {
        throw pluginlib::ClassLoaderException(
                "Class could not be loaded. Attribute 'base_class_type' in class tag is "
                "missing.");
      }
      const std::string derived_class(type);
      const char * name = class_element->Attribute("name");
      const std::string lookup_name = name != nullptr ? std::string(name) : derived_class;

      if (base_class_type != base_class) {
        continue;  // a plugin of another category sharing the file
      }
      std::string description_str;
      tinyxml2::XMLElement * description = class_element->FirstChildElement("description");
      if (description != nullptr) {
        description_str = description->GetText() != nullptr ? description->GetText() : "";
      } else {
        description_str = "No 'description' tag for this plugin in plugin description file.";
      }
      classes_available.insert(
        std::make_pair(
          lookup_name,
          ClassDesc(
            lookup_name, derived_class, base_class_type, package_name, description_str,
            library_path, xml_file)));
    }
  }
}

}  // namespace

void logError(const std::string & message)
{
  log("ERROR", message);
}

void requirePackage(const std::string & package)
{
  try {
    ament_index_cpp::get_package_prefix(package);
  } catch (const ament_index_cpp::PackageNotFoundError &) {
    throw pluginlib::ClassLoaderException("package '" + package + "' not found");
  }
}

std::vector<std::string> getPluginXmlPaths(
  const std::string & package, const std::string & attrib_name)
{
  std::vector<std::string> paths;
  const std::string resource_type = package + "__pluginlib__" + attrib_name;
  for (const auto & resource : ament_index_cpp::get_resources(resource_type)) {
    std::string content;
    if (!ament_index_cpp::get_resource(resource_type, resource.first, content)) {
      log("WARN", "unexpected error getting plugin resource for package '" + resource.first +
        "'");
      continue;
    }
    std::stringstream lines(content);
    std::string line;
    while (std::getline(lines, line, '\n')) {
      if (!line.empty()) {
        paths.push_back(resource.second + "/" + line);
      }
    }
  }
  return paths;
}

std::map<std::string, ClassDesc> determineAvailableClasses(
  const std::vector<std::string> & plugin_xml_paths, const std::string & base_class)
{
  std::map<std::string, ClassDesc> classes_available;
  for (const std::string & path : plugin_xml_paths) {
    try {
      processSingleXMLPluginFile(path, base_class, classes_available);
    } catch (const pluginlib::InvalidXMLException & ex) {
      log("ERROR", std::string("Skipped loading plugin with error: ") + ex.what() + ".");
    }
  }
  return classes_available;
}

std::string findLibraryFile(const ClassDesc & desc)
{
  std::vector<std::string> library_directories;
  if (!desc.package_.empty()) {
    try {
      library_directories.push_back(
        ament_index_cpp::get_package_prefix(desc.package_) + "/lib");
    } catch (const ament_index_cpp::PackageNotFoundError &) {
      // Not indexed itself: the other prefixes below may still hold the library.
    }
  }
  for (const std::string & prefix : ament_index_cpp::get_search_paths()) {
    library_directories.push_back(prefix + "/lib");
  }

  const std::string file_name = class_loader::systemLibraryFormat(desc.library_name_);
  const std::string stripped_file_name =
    class_loader::systemLibraryFormat(stripAllButFileFromPath(desc.library_name_));
  for (const std::string & directory : library_directories) {
    for (const std::string & candidate :
      {directory + "/" + file_name, directory + "/" + stripped_file_name})
    {
      std::error_code error;
      if (fs::exists(candidate, error)) {
        return candidate;
      }
    }
  }
  return "";
}

std::string unknownClassMessage(
  const std::string & lookup_name, const std::string & base_class,
  const std::vector<std::string> & declared_classes)
{
  std::string declared_types;
  for (const std::string & declared : declared_classes) {
    declared_types += " " + declared;
  }
  return "According to the loaded plugin descriptions the class " + lookup_name +
         " with base class type " + base_class + " does not exist. Declared types are " +
         declared_types;
}

std::string stripToName(const std::string & lookup_name)
{
  const std::string::size_type separator = lookup_name.find_last_of("/:");
  return separator == std::string::npos ? lookup_name : lookup_name.substr(separator + 1);
}

}  // namespace impl
}  // namespace pluginlib
