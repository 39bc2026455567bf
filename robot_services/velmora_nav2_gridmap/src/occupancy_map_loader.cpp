#include "velmora_nav2_gridmap/occupancy_map_loader.hpp"

#include <cmath>
#include <fstream>

#include <yaml-cpp/yaml.h>

#include "nav2_costmap_2d/cost_values.hpp"
#include "velmora/logger.hpp"
#include "velmora_nav2_gridmap/pgm_image.hpp"

namespace velmora_nav2_gridmap
{

namespace
{
// Reads the fields of one map YAML file; every error names the file and the field.
class MapYaml
{
public:
  explicit MapYaml(const std::string & path)
  : path_(path)
  {
    if (!std::ifstream(path).good()) {
      throw MapLoadError("map file '" + path + "': cannot open the file");
    }
    try {
      doc_ = YAML::LoadFile(path);
    } catch (const YAML::Exception & e) {
      throw MapLoadError("map file '" + path + "': not valid YAML: " + e.what());
    }
    if (!doc_.IsMap()) {
      throw MapLoadError("map file '" + path + "': expected a mapping of fields");
    }
  }

  template<typename T>
  T required(const std::string & field) const
  {
    if (!doc_[field]) {
      fail(field, "is missing");
    }
    return as<T>(field, doc_[field]);
  }

  template<typename T>
  T optional(const std::string & field, const T & fallback) const
  {
    return doc_[field] ? as<T>(field, doc_[field]) : fallback;
  }

  std::vector<double> origin() const
  {
    const YAML::Node node = doc_["origin"];
    if (!node) {
      fail("origin", "is missing");
    }
    if (!node.IsSequence() || node.size() != 3) {
      fail("origin", "must be a list of three numbers [x, y, yaw]");
    }
    std::vector<double> values;
    for (const auto & element : node) {
      values.push_back(finite(as<double>("origin", element), "origin"));
    }
    return values;
  }

  double finite(double value, const std::string & field) const
  {
    if (!std::isfinite(value)) {
      fail(field, "must be a finite number");
    }
    return value;
  }

  [[noreturn]] void fail(const std::string & field, const std::string & what) const
  {
    throw MapLoadError("map file '" + path_ + "': field '" + field + "' " + what);
  }

  // The image path relative to the directory of the YAML file, as the map server resolves it.
  std::string resolve(const std::string & image) const
  {
    if (!image.empty() && image.front() == '/') {
      return image;
    }
    const size_t slash = path_.find_last_of('/');
    return slash == std::string::npos ? image : path_.substr(0, slash + 1) + image;
  }

private:
  template<typename T>
  T as(const std::string & field, const YAML::Node & node) const
  {
    try {
      return node.as<T>();
    } catch (const YAML::Exception &) {
      fail(field, "has a value of the wrong type");
    }
  }

  std::string path_;
  YAML::Node doc_;
};

// "negate" is written as 0/1 by the map server and as true/false by hand.
bool readNegate(const MapYaml & yaml)
{
  try {
    return yaml.optional<int>("negate", 0) != 0;
  } catch (const MapLoadError &) {
    return yaml.optional<bool>("negate", false);
  }
}
}  // namespace

OccupancyMap OccupancyMapLoader::load(const std::string & yaml_path)
{
  const MapYaml yaml(yaml_path);
  const std::string image_name = yaml.required<std::string>("image");
  if (image_name.empty()) {
    yaml.fail("image", "is empty");
  }
  const double resolution = yaml.finite(yaml.required<double>("resolution"), "resolution");
  if (resolution <= 0.0) {
    yaml.fail("resolution", "must be positive");
  }
  const std::vector<double> origin = yaml.origin();
  const double occupied_thresh =
    yaml.finite(yaml.required<double>("occupied_thresh"), "occupied_thresh");
  const double free_thresh = yaml.finite(yaml.required<double>("free_thresh"), "free_thresh");
  if (occupied_thresh < 0.0 || occupied_thresh > 1.0) {
    yaml.fail("occupied_thresh", "must be within [0, 1]");
  }
  if (free_thresh < 0.0 || free_thresh > occupied_thresh) {
    yaml.fail("free_thresh", "must be within [0, occupied_thresh]");
  }
  const bool negate = readNegate(yaml);
  const std::string mode = yaml.optional<std::string>("mode", "trinary");
  if (mode != "trinary") {
    yaml.fail("mode", "'" + mode + "' is not supported (only 'trinary')");
  }

  const PgmImage image = PgmImage::read(yaml.resolve(image_name));
  OccupancyMap map;
  map.width = image.width;
  map.height = image.height;
  map.resolution = resolution;
  map.origin_x = origin[0];
  map.origin_y = origin[1];
  map.origin_yaw = origin[2];
  if (map.origin_yaw != 0.0) {
    VLOG_WARN(
      "[GridMap] map {} has origin yaw {}; the costmap is axis-aligned and ignores it",
      yaml_path, map.origin_yaw);
  }
  map.data.resize(image.pixels.size());
  for (unsigned int row = 0; row < image.height; ++row) {
    // The image's top line is the map's highest row.
    const size_t map_row = image.height - 1 - row;
    for (unsigned int col = 0; col < image.width; ++col) {
      const double brightness =
        static_cast<double>(image.pixels[size_t{row} * image.width + col]) / image.max_value;
      const double occupancy = negate ? brightness : 1.0 - brightness;
      int8_t value = OccupancyMap::kUnknown;
      if (occupancy > occupied_thresh) {
        value = OccupancyMap::kOccupied;
      } else if (occupancy < free_thresh) {
        value = OccupancyMap::kFree;
      }
      map.data[map_row * image.width + col] = value;
    }
  }
  return map;
}

nav2_costmap_2d::Costmap2D OccupancyMap::toCostmap() const
{
  nav2_costmap_2d::Costmap2D costmap(width, height, resolution, origin_x, origin_y);
  unsigned char * costs = costmap.getCharMap();
  for (size_t i = 0; i < data.size(); ++i) {
    if (data[i] == kUnknown) {
      costs[i] = nav2_costmap_2d::NO_INFORMATION;
    } else if (data[i] == kOccupied) {
      costs[i] = nav2_costmap_2d::LETHAL_OBSTACLE;
    } else {
      costs[i] = nav2_costmap_2d::FREE_SPACE;
    }
  }
  return costmap;
}

nav_msgs::msg::OccupancyGrid OccupancyMap::toOccupancyGrid(const std::string & frame_id) const
{
  nav_msgs::msg::OccupancyGrid grid;
  grid.header.frame_id = frame_id;
  grid.info.width = width;
  grid.info.height = height;
  grid.info.resolution = static_cast<float>(resolution);
  grid.info.origin.position.x = origin_x;
  grid.info.origin.position.y = origin_y;
  grid.info.origin.orientation.z = std::sin(origin_yaw / 2.0);
  grid.info.origin.orientation.w = std::cos(origin_yaw / 2.0);
  grid.data = data;
  return grid;
}

}  // namespace velmora_nav2_gridmap
