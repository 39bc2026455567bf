#include "nav2_costmap_2d/costmap_2d_ros.hpp"

#include <chrono>

#include "nav2_util/node_utils.hpp"

namespace nav2_costmap_2d
{

Costmap2DROS::Costmap2DROS(const rclcpp::NodeOptions & options)
: nav2_util::LifecycleNode("costmap", "", options), name_("costmap")
{
  init();
}

Costmap2DROS::Costmap2DROS(const std::string & name)
: Costmap2DROS(name, "/", name)
{
}

// Nav2 reaches the same name and namespace through "-r __ns:=..." and "-r <name>:__node:=<name>"
// remapping arguments; the stand-in's NodeOptions take no remappings, so they are given directly.
Costmap2DROS::Costmap2DROS(
  const std::string & name, const std::string & parent_namespace,
  const std::string & local_namespace)
: nav2_util::LifecycleNode(name, nav2_util::add_namespaces(parent_namespace, local_namespace)),
  name_(name)
{
  init();
}

Costmap2DROS::~Costmap2DROS()
{
  // The update loop and the map callback write into the layered costmap: neither may outlive it.
  stopMapUpdateThread();
  stopExecutorThread();
}

void Costmap2DROS::init()
{
  declare_parameter("footprint_padding", rclcpp::ParameterValue(0.01));
  declare_parameter("footprint", rclcpp::ParameterValue(std::string("[]")));
  declare_parameter("global_frame", rclcpp::ParameterValue(std::string("map")));
  declare_parameter("robot_base_frame", rclcpp::ParameterValue(std::string("base_link")));
  declare_parameter("robot_radius", rclcpp::ParameterValue(0.1));
  declare_parameter("rolling_window", rclcpp::ParameterValue(false));
  declare_parameter("track_unknown_space", rclcpp::ParameterValue(false));
  declare_parameter("transform_tolerance", rclcpp::ParameterValue(0.3));
  declare_parameter("width", rclcpp::ParameterValue(5));
  declare_parameter("height", rclcpp::ParameterValue(5));
  declare_parameter("resolution", rclcpp::ParameterValue(0.1));
  declare_parameter("origin_x", rclcpp::ParameterValue(0.0));
  declare_parameter("origin_y", rclcpp::ParameterValue(0.0));
  declare_parameter("update_frequency", rclcpp::ParameterValue(5.0));
  declare_parameter("publish_frequency", rclcpp::ParameterValue(1.0));
  declare_parameter("lethal_cost_threshold", rclcpp::ParameterValue(100));
  declare_parameter("unknown_cost_value", rclcpp::ParameterValue(255));
  declare_parameter("trinary_costmap", rclcpp::ParameterValue(true));
  declare_parameter("static_layer.map_topic", rclcpp::ParameterValue(std::string("map")));
  declare_parameter("static_layer.map_subscribe_transient_local", rclcpp::ParameterValue(true));
  declare_parameter("inflation_layer.inflation_radius", rclcpp::ParameterValue(0.55));
  declare_parameter("inflation_layer.cost_scaling_factor", rclcpp::ParameterValue(10.0));
}

void Costmap2DROS::getParameters()
{
  get_parameter("footprint_padding", footprint_padding_);
  get_parameter("footprint", footprint_);
  get_parameter("global_frame", global_frame_);
  get_parameter("robot_base_frame", robot_base_frame_);
  get_parameter("robot_radius", robot_radius_);
  get_parameter("rolling_window", rolling_window_);
  get_parameter("track_unknown_space", track_unknown_space_);
  get_parameter("transform_tolerance", transform_tolerance_);
  map_width_meters_ = static_cast<double>(get_parameter("width").as_int());
  map_height_meters_ = static_cast<double>(get_parameter("height").as_int());
  get_parameter("resolution", resolution_);
  get_parameter("origin_x", origin_x_);
  get_parameter("origin_y", origin_y_);
  get_parameter("update_frequency", map_update_frequency_);
  get_parameter("inflation_layer.inflation_radius", inflation_radius_);
  get_parameter("inflation_layer.cost_scaling_factor", cost_scaling_factor_);

  // A footprint given but malformed falls back to the radius, as in Nav2.
  use_radius_ = true;
  if (footprint_ != "" && footprint_ != "[]") {
    std::vector<geometry_msgs::msg::Point> new_footprint;
    if (makeFootprintFromString(footprint_, new_footprint)) {
      use_radius_ = false;
    } else {
      RCLCPP_ERROR(
        get_logger(), "The footprint parameter is invalid: \"%s\", using radius (%lf) instead",
        footprint_.c_str(), robot_radius_);
    }
  }
}

nav2_util::CallbackReturn Costmap2DROS::on_configure(const rclcpp_lifecycle::State & /*state*/)
{
  RCLCPP_INFO(get_logger(), "Configuring");
  getParameters();

  layered_costmap_ =
    std::make_unique<LayeredCostmap>(global_frame_, rolling_window_, track_unknown_space_);
  if (resolution_ <= 0.0) {
    RCLCPP_ERROR(get_logger(), "Parameter resolution must be positive, got %f", resolution_);
    return nav2_util::CallbackReturn::FAILURE;
  }
  layered_costmap_->resizeMap(
    static_cast<unsigned int>(map_width_meters_ / resolution_),
    static_cast<unsigned int>(map_height_meters_ / resolution_), resolution_, origin_x_, origin_y_);
  layered_costmap_->setInflationParameters(inflation_radius_, cost_scaling_factor_);

  callback_group_ = create_callback_group(rclcpp::CallbackGroupType::MutuallyExclusive, false);
  static_layer_ = std::make_unique<StaticLayer>();
  static_layer_->initialize(
    layered_costmap_.get(), "static_layer", weak_from_this(), callback_group_);

  tf_buffer_ = std::make_shared<tf2_ros::Buffer>(get_clock());
  tf_listener_ = std::make_shared<tf2_ros::TransformListener>(*tf_buffer_);

  std::vector<geometry_msgs::msg::Point> footprint;
  if (use_radius_) {
    footprint = makeFootprintFromRadius(robot_radius_);
  } else {
    makeFootprintFromString(footprint_, footprint);
  }
  setRobotFootprint(footprint);

  executor_ = std::make_shared<rclcpp::executors::SingleThreadedExecutor>();
  executor_->add_callback_group(callback_group_, get_node_base_interface());
  startExecutorThread();
  return nav2_util::CallbackReturn::SUCCESS;
}

nav2_util::CallbackReturn Costmap2DROS::on_activate(const rclcpp_lifecycle::State & /*state*/)
{
  RCLCPP_INFO(get_logger(), "Activating");
  startMapUpdateThread();
  start();
  return nav2_util::CallbackReturn::SUCCESS;
}

nav2_util::CallbackReturn Costmap2DROS::on_deactivate(const rclcpp_lifecycle::State & /*state*/)
{
  RCLCPP_INFO(get_logger(), "Deactivating");
  stop();
  stopMapUpdateThread();
  return nav2_util::CallbackReturn::SUCCESS;
}

nav2_util::CallbackReturn Costmap2DROS::on_cleanup(const rclcpp_lifecycle::State & /*state*/)
{
  RCLCPP_INFO(get_logger(), "Cleaning up");
  stopExecutorThread();
  static_layer_.reset();
  callback_group_.reset();
  layered_costmap_.reset();
  tf_listener_.reset();
  tf_buffer_.reset();
  return nav2_util::CallbackReturn::SUCCESS;
}

nav2_util::CallbackReturn Costmap2DROS::on_shutdown(const rclcpp_lifecycle::State & /*state*/)
{
  RCLCPP_INFO(get_logger(), "Shutting down");
  // Shutdown may come straight from the active state, with the update loop still running.
  stop();
  stopMapUpdateThread();
  return nav2_util::CallbackReturn::SUCCESS;
}

void Costmap2DROS::on_rcl_preshutdown()
{
  if (stopped_) {
    return;
  }
  RCLCPP_INFO(get_logger(), "Running Nav2 LifecycleNode rcl preshutdown (%s)", get_name());
  stop();
  stopMapUpdateThread();
}

void Costmap2DROS::start()
{
  stopped_ = false;
  stop_updates_ = false;
}

void Costmap2DROS::stop()
{
  stop_updates_ = true;
  stopped_ = true;
}

void Costmap2DROS::pause()
{
  stop_updates_ = true;
}

void Costmap2DROS::resume()
{
  stop_updates_ = false;
}

void Costmap2DROS::updateMap()
{
  if (stop_updates_ || !layered_costmap_) {
    return;
  }
  geometry_msgs::msg::PoseStamped pose;
  if (getRobotPose(pose)) {
    layered_costmap_->updateMap(
      pose.pose.position.x, pose.pose.position.y, tf2::getYaw(pose.pose.orientation));
  }
}

void Costmap2DROS::resetLayers()
{
  if (layered_costmap_) {
    layered_costmap_->rebuild();
  }
}

bool Costmap2DROS::getRobotPose(geometry_msgs::msg::PoseStamped & global_pose)
{
  if (!tf_buffer_) {
    return false;
  }
  return nav2_util::getCurrentPose(
    global_pose, *tf_buffer_, global_frame_, robot_base_frame_, transform_tolerance_);
}

bool Costmap2DROS::transformPoseToGlobalFrame(
  const geometry_msgs::msg::PoseStamped & input_pose,
  geometry_msgs::msg::PoseStamped & transformed_pose)
{
  if (input_pose.header.frame_id == global_frame_) {
    transformed_pose = input_pose;
    return true;
  }
  if (!tf_buffer_) {
    return false;
  }
  return nav2_util::transformPoseInTargetFrame(
    input_pose, transformed_pose, *tf_buffer_, global_frame_, transform_tolerance_);
}

void Costmap2DROS::getOrientedFootprint(
  std::vector<geometry_msgs::msg::Point> & oriented_footprint)
{
  geometry_msgs::msg::PoseStamped global_pose;
  if (!getRobotPose(global_pose)) {
    return;
  }
  transformFootprint(
    global_pose.pose.position.x, global_pose.pose.position.y,
    tf2::getYaw(global_pose.pose.orientation), padded_footprint_, oriented_footprint);
}

void Costmap2DROS::setRobotFootprint(const std::vector<geometry_msgs::msg::Point> & points)
{
  unpadded_footprint_ = points;
  padded_footprint_ = points;
  padFootprint(padded_footprint_, footprint_padding_);
  if (layered_costmap_) {
    layered_costmap_->setFootprint(padded_footprint_);
  }
}

void Costmap2DROS::setRobotFootprintPolygon(const geometry_msgs::msg::Polygon::SharedPtr footprint)
{
  setRobotFootprint(toPointVector(footprint));
}

void Costmap2DROS::mapUpdateLoop(double frequency)
{
  if (frequency == 0.0) {
    return;
  }
  rclcpp::WallRate rate(frequency);
  while (rclcpp::ok() && !map_update_thread_shutdown_) {
    if (!stopped_) {
      updateMap();
    }
    rate.sleep();
  }
}

void Costmap2DROS::startMapUpdateThread()
{
  stopped_ = true;
  stop_updates_ = false;
  map_update_thread_shutdown_ = false;
  map_update_thread_ = std::make_unique<std::thread>(
    [this, frequency = map_update_frequency_]() {mapUpdateLoop(frequency);});
}

void Costmap2DROS::stopMapUpdateThread()
{
  map_update_thread_shutdown_ = true;
  if (map_update_thread_ && map_update_thread_->joinable()) {
    map_update_thread_->join();
  }
  map_update_thread_.reset();
}

void Costmap2DROS::startExecutorThread()
{
  executor_done_ = false;
  executor_thread_ = std::thread(
    [this]() {
      executor_->spin();
      executor_done_ = true;
    });
}

void Costmap2DROS::stopExecutorThread()
{
  if (!executor_thread_.joinable()) {
    return;
  }
  // cancel() only ends a spin already under way; repeat until the thread has been through one.
  while (!executor_done_) {
    executor_->cancel();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  executor_thread_.join();
  executor_.reset();
}

}  // namespace nav2_costmap_2d
