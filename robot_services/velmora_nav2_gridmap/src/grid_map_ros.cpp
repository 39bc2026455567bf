#include "velmora_nav2_gridmap/grid_map_ros.hpp"

#include <cmath>
#include <stdexcept>
#include <thread>

#include "ament_index_cpp/get_package_share_directory.hpp"
#include "lifecycle_msgs/msg/state.hpp"
#include "nav2_util/node_utils.hpp"
#include "tf2/LinearMath/Quaternion.h"
#include "tf2/utils.h"
#include "tf2_geometry_msgs/tf2_geometry_msgs.hpp"
#include "velmora/logger.hpp"

namespace velmora_nav2_gridmap
{

namespace
{
constexpr double kDefaultNarrowPassageWidth = 1.6;
constexpr std::chrono::milliseconds kMapArrivalTimeout{2000};

uint8_t stateOf(nav2_costmap_2d::Costmap2DROS & node)
{
  return node.get_current_state().id();
}

bool hasGeometryOf(const nav2_costmap_2d::Costmap2D & costmap, const OccupancyMap & map)
{
  // The map message carries its resolution as a float.
  return costmap.getSizeInCellsX() == map.width && costmap.getSizeInCellsY() == map.height &&
         costmap.getResolution() == static_cast<double>(static_cast<float>(map.resolution)) &&
         costmap.getOriginX() == map.origin_x && costmap.getOriginY() == map.origin_y;
}
}  // namespace

std::string GridMapROS::defaultMapFile()
{
  return ament_index_cpp::get_package_share_directory("velmora_nav2_gridmap") +
         "/maps/warehouse.yaml";
}

GridMapROS::GridMapROS(const std::string & name, const std::vector<rclcpp::Parameter> & parameters)
: costmap_ros_(std::make_shared<nav2_costmap_2d::Costmap2DROS>(name, "/", name))
{
  nav2_util::declare_parameter_if_not_declared(
    costmap_ros_, "yaml_filename", rclcpp::ParameterValue(defaultMapFile()));
  nav2_util::declare_parameter_if_not_declared(
    costmap_ros_, "narrow_passage_width", rclcpp::ParameterValue(kDefaultNarrowPassageWidth));
  applyParameters(
    {rclcpp::Parameter("global_frame", "map"),
      rclcpp::Parameter("robot_base_frame", "base_footprint")});
  applyParameters(parameters);
  checkFootprint();

  map_file_ = costmap_ros_->get_parameter("yaml_filename").as_string();
  const OccupancyMap map = OccupancyMapLoader::load(map_file_);
  const double width = costmap_ros_->get_parameter("narrow_passage_width").as_double();
  if (!std::isfinite(width) || width <= 0.0) {
    throw std::invalid_argument(
            "costmap node '" + name + "': parameter 'narrow_passage_width' must be a positive "
            "number of metres, got " + std::to_string(width));
  }
  multi_grid_map_ = std::make_shared<MultiGridMap>(map.toCostmap(), width);

  publishMap(map);
  configureCostmap();
  costmap_ros_->activate();
  if (stateOf(*costmap_ros_) != lifecycle_msgs::msg::State::PRIMARY_STATE_ACTIVE) {
    throw std::runtime_error("costmap node '" + name + "' failed to activate");
  }
  waitForMap(map);
  VLOG_INFO(
    "[GridMap] map {} loaded: {} x {} cells of {} m, narrow passages below {} m",
    map_file_, map.width, map.height, map.resolution, width);
}

GridMapROS::~GridMapROS()
{
  shutDownCostmap();
}

void GridMapROS::applyParameters(const std::vector<rclcpp::Parameter> & parameters)
{
  for (const auto & parameter : parameters) {
    const std::string where =
      "costmap node '" + std::string(costmap_ros_->get_name()) + "': parameter '" +
      parameter.get_name() + "'";
    rcl_interfaces::msg::SetParametersResult result;
    try {
      result = costmap_ros_->set_parameter(parameter);
    } catch (const std::exception & e) {
      throw std::invalid_argument(where + " cannot be set: " + e.what());
    }
    if (!result.successful) {
      throw std::invalid_argument(where + " was refused: " + result.reason);
    }
  }
}

void GridMapROS::checkFootprint()
{
  const std::string where = "costmap node '" + std::string(costmap_ros_->get_name()) + "': ";
  const std::string footprint = costmap_ros_->get_parameter("footprint").as_string();
  if (footprint.empty() || footprint == "[]") {
    const double radius = costmap_ros_->get_parameter("robot_radius").as_double();
    if (!std::isfinite(radius) || radius <= 0.0) {
      throw std::invalid_argument(
              where + "parameter 'robot_radius' must be positive when no footprint is given, got " +
              std::to_string(radius));
    }
    return;
  }
  // The costmap would fall back to the radius; a robot driving on a wrong footprint must not
  // start at all.
  std::vector<geometry_msgs::msg::Point> points;
  if (!nav2_costmap_2d::makeFootprintFromString(footprint, points)) {
    throw std::invalid_argument(
            where + "parameter 'footprint' is \"" + footprint +
            "\", not a polygon of at least three [x, y] points");
  }
}

void GridMapROS::configureCostmap()
{
  costmap_ros_->configure();
  if (stateOf(*costmap_ros_) != lifecycle_msgs::msg::State::PRIMARY_STATE_INACTIVE) {
    throw std::runtime_error(
            "costmap node '" + std::string(costmap_ros_->get_name()) + "' failed to configure");
  }
}

template<typename Condition>
bool GridMapROS::waitUntil(Condition condition, std::chrono::milliseconds timeout)
{
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= deadline) {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

void GridMapROS::publishMap(const OccupancyMap & map)
{
  // The map server's part. Latched, so the static layer gets it whenever it subscribes.
  map_publisher_ = rclcpp::create_publisher<nav_msgs::msg::OccupancyGrid>(
    costmap_ros_, "map", rclcpp::QoS(rclcpp::KeepLast(1)).transient_local().reliable());
  nav_msgs::msg::OccupancyGrid grid =
    map.toOccupancyGrid(costmap_ros_->get_parameter("global_frame").as_string());
  grid.header.stamp = costmap_ros_->now();
  grid.info.map_load_time = grid.header.stamp;
  map_publisher_->publish(grid);
}

void GridMapROS::waitForMap(const OccupancyMap & map)
{
  // A fixed costmap takes the size, resolution and origin of the map it received: matching
  // geometry tells this map from the costmap's initial grid. A rolling window keeps its own
  // and only has a place once the robot pose is known: its static layer holding a map is all
  // there is to wait for.
  const bool rolling = costmap_ros_->getLayeredCostmap()->isRolling();
  const bool arrived = waitUntil(
    [&] {
      nav2_costmap_2d::Costmap2D * costmap = costmap_ros_->getCostmap();
      std::unique_lock<nav2_costmap_2d::Costmap2D::mutex_t> lock(*costmap->getMutex());
      return costmap_ros_->isCurrent() && (rolling || hasGeometryOf(*costmap, map));
    }, kMapArrivalTimeout);
  if (!arrived) {
    throw std::runtime_error(
            "costmap node '" + std::string(costmap_ros_->get_name()) + "' did not take the map " +
            "published on " + map_publisher_->get_topic_name() + " within " +
            std::to_string(kMapArrivalTimeout.count()) + " ms; its static layer subscribes to '" +
            costmap_ros_->get_parameter("static_layer.map_topic").as_string() + "'");
  }
}

void GridMapROS::shutDownCostmap()
{
  if (stateOf(*costmap_ros_) == lifecycle_msgs::msg::State::PRIMARY_STATE_ACTIVE) {
    costmap_ros_->deactivate();
  }
  if (stateOf(*costmap_ros_) == lifecycle_msgs::msg::State::PRIMARY_STATE_INACTIVE) {
    costmap_ros_->cleanup();
  }
}

bool GridMapROS::waitForCostmap(std::chrono::milliseconds timeout)
{
  return waitUntil(
    [this] {
      if (stateOf(*costmap_ros_) != lifecycle_msgs::msg::State::PRIMARY_STATE_ACTIVE ||
      !costmap_ros_->isCurrent())
      {
        return false;
      }
      nav2_costmap_2d::Costmap2D * costmap = costmap_ros_->getCostmap();
      if (costmap == nullptr) {
        return false;
      }
      // A rolling window holds map cells only once an update has found the robot.
      nav2_costmap_2d::LayeredCostmap * layered = costmap_ros_->getLayeredCostmap();
      if (layered->isRolling() && !layered->isInitialized()) {
        return false;
      }
      // Taking the lock waits out an update in progress.
      std::unique_lock<nav2_costmap_2d::Costmap2D::mutex_t> lock(*costmap->getMutex());
      return true;
    }, timeout);
}

bool GridMapROS::getInvertedRobotPose(geometry_msgs::msg::PoseStamped & pose)
{
  geometry_msgs::msg::PoseStamped robot_pose;
  if (!costmap_ros_->getRobotPose(robot_pose)) {
    return false;
  }
  tf2::Quaternion turned;
  turned.setRPY(0.0, 0.0, std::remainder(tf2::getYaw(robot_pose.pose.orientation) + M_PI, 2.0 * M_PI));
  robot_pose.pose.orientation = tf2::toMsg(turned);
  pose = robot_pose;
  return true;
}

}  // namespace velmora_nav2_gridmap
