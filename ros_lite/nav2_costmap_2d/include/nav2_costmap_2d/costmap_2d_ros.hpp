#ifndef NAV2_COSTMAP_2D__COSTMAP_2D_ROS_HPP_
#define NAV2_COSTMAP_2D__COSTMAP_2D_ROS_HPP_

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "geometry_msgs/msg/point.hpp"
#include "geometry_msgs/msg/polygon.hpp"
#include "geometry_msgs/msg/polygon_stamped.hpp"
#include "geometry_msgs/msg/pose_stamped.hpp"
#include "nav2_costmap_2d/cost_values.hpp"
#include "nav2_costmap_2d/costmap_2d.hpp"
#include "nav2_costmap_2d/footprint.hpp"
#include "nav2_costmap_2d/inflation_layer.hpp"
#include "nav2_costmap_2d/layered_costmap.hpp"
#include "nav2_costmap_2d/static_layer.hpp"
#include "nav2_util/lifecycle_node.hpp"
#include "nav2_util/robot_utils.hpp"
#include "pluginlib/class_loader.hpp"
#include "rclcpp/rclcpp.hpp"
#include "tf2/utils.h"
#include "tf2_geometry_msgs/tf2_geometry_msgs.hpp"
#include "tf2_ros/buffer.h"
#include "tf2_ros/transform_listener.h"

namespace nav2_costmap_2d
{

// A costmap as a lifecycle node: robot frames, footprint, tf and the layered costmap.
//
// Parameters (declared at construction, read on configure), as Nav2 names them:
//   global_frame ("map"), robot_base_frame ("base_link"), transform_tolerance (0.3 s),
//   footprint ("[]": use robot_radius), robot_radius (0.1), footprint_padding (0.01),
//   track_unknown_space (false), rolling_window (false), width / height (5 m, integers),
//   resolution (0.1), origin_x / origin_y (0.0): the master grid until a static map arrives
//   (a rolling window keeps it and only moves it), update_frequency (5.0 Hz: the map update
//   loop; 0 runs no loop), publish_frequency (1.0 Hz; declared only, there is no costmap
//   publisher), lethal_cost_threshold (100), unknown_cost_value (255), trinary_costmap (true):
//   how map values become costs, static_layer.map_topic ("map"),
//   static_layer.map_subscribe_transient_local (true),
//   inflation_layer.inflation_radius (0.55), inflation_layer.cost_scaling_factor (10.0).
// Nav2 loads its layers as plugins listed in "plugins" and by default stacks static_layer,
// obstacle_layer and inflation_layer; the stand-in has a fixed static + inflation stack, so the
// layer parameters are declared up front under the names Nav2 configurations give those layers.
//
// As in Nav2, configure creates a callback group of the node's own and spins it on a thread the
// node owns until cleanup: the static layer's map subscription works without anyone spinning
// the node. Activation starts the map update thread, which calls updateMap() every
// 1 / update_frequency seconds while the costmap is started and not paused; deactivation
// stops the costmap and joins the thread (so do shutdown and destruction of an active node).
// A rolling window thus follows the robot's tf pose by itself.
//
// Where the stand-in parts from Nav2: Nav2's activation waits (forever) until the transform
// global_frame -> robot_base_frame exists and its start()/resume() wait until one update has
// found the robot pose; here they return at once and the update loop skips its cycles until
// the pose is there. A non-rolling costmap takes every map received at once, where Nav2
// copies it into the master grid at the next update.
class Costmap2DROS : public nav2_util::LifecycleNode
{
public:
  Costmap2DROS(const rclcpp::NodeOptions & options = rclcpp::NodeOptions());
  explicit Costmap2DROS(const std::string & name);
  explicit Costmap2DROS(
    const std::string & name, const std::string & parent_namespace,
    const std::string & local_namespace);
  ~Costmap2DROS();

  nav2_util::CallbackReturn on_configure(const rclcpp_lifecycle::State & state) override;
  nav2_util::CallbackReturn on_activate(const rclcpp_lifecycle::State & state) override;
  nav2_util::CallbackReturn on_deactivate(const rclcpp_lifecycle::State & state) override;
  nav2_util::CallbackReturn on_cleanup(const rclcpp_lifecycle::State & state) override;
  nav2_util::CallbackReturn on_shutdown(const rclcpp_lifecycle::State & state) override;
  void on_rcl_preshutdown() override;

  // start/stop (de)activate the map updates; pause/resume suspend them. Only an active node has
  // the update thread that carries them out.
  void start();
  void stop();
  void pause();
  void resume();

  // One cycle of the update loop: the layered costmap updated at the current robot pose (a
  // rolling window moves to centre on it and is refilled from the static map); skipped while
  // paused or stopped or when the robot pose is unavailable.
  void updateMap();
  // Rebuilds every layer from its source data.
  void resetLayers();
  // True while every layer is current: here, once the static layer holds a map. It says
  // nothing about whether a rolling window has reached the robot yet.
  bool isCurrent() {return layered_costmap_ && layered_costmap_->isCurrent();}

  bool getRobotPose(geometry_msgs::msg::PoseStamped & global_pose);
  bool transformPoseToGlobalFrame(
    const geometry_msgs::msg::PoseStamped & input_pose,
    geometry_msgs::msg::PoseStamped & transformed_pose);

  std::string getName() const {return name_;}
  double getTransformTolerance() const {return transform_tolerance_;}
  // Owned by the layered costmap; valid from configure to cleanup.
  Costmap2D * getCostmap() {return layered_costmap_ ? layered_costmap_->getCostmap() : nullptr;}
  std::string getGlobalFrameID() {return global_frame_;}
  std::string getBaseFrameID() {return robot_base_frame_;}
  LayeredCostmap * getLayeredCostmap() {return layered_costmap_.get();}

  geometry_msgs::msg::Polygon getRobotFootprintPolygon() {return toPolygon(padded_footprint_);}
  std::vector<geometry_msgs::msg::Point> getRobotFootprint() {return padded_footprint_;}
  std::vector<geometry_msgs::msg::Point> getUnpaddedRobotFootprint() {return unpadded_footprint_;}
  // The padded footprint at the current robot pose in the global frame; untouched when the pose
  // is unavailable.
  void getOrientedFootprint(std::vector<geometry_msgs::msg::Point> & oriented_footprint);
  // Takes an unpadded footprint; the padding parameter is applied to it.
  void setRobotFootprint(const std::vector<geometry_msgs::msg::Point> & points);
  void setRobotFootprintPolygon(const geometry_msgs::msg::Polygon::SharedPtr footprint);

  std::shared_ptr<tf2_ros::Buffer> getTfBuffer() {return tf_buffer_;}
  bool getUseRadius() {return use_radius_;}
  double getRobotRadius() {return robot_radius_;}

protected:
  void init();
  void getParameters();
  void startExecutorThread();
  void stopExecutorThread();
  // Calls updateMap() at `frequency` Hz while started, until told to shut down.
  void mapUpdateLoop(double frequency);
  void startMapUpdateThread();
  void stopMapUpdateThread();

  std::unique_ptr<LayeredCostmap> layered_costmap_;
  std::unique_ptr<StaticLayer> static_layer_;
  rclcpp::CallbackGroup::SharedPtr callback_group_;
  rclcpp::executors::SingleThreadedExecutor::SharedPtr executor_;
  std::thread executor_thread_;
  std::atomic_bool executor_done_{false};
  std::string name_;
  std::shared_ptr<tf2_ros::Buffer> tf_buffer_;
  std::shared_ptr<tf2_ros::TransformListener> tf_listener_;

  std::unique_ptr<std::thread> map_update_thread_;
  std::atomic_bool map_update_thread_shutdown_{false};
  // Set by the lifecycle transitions and pause()/resume() while the update thread reads them.
  std::atomic_bool stopped_{true};
  std::atomic_bool stop_updates_{false};
  double map_update_frequency_{5.0};

  std::string footprint_;
  double footprint_padding_{0.01};
  std::string global_frame_;
  std::string robot_base_frame_;
  double robot_radius_{0.1};
  bool use_radius_{true};
  bool rolling_window_{false};
  bool track_unknown_space_{false};
  double transform_tolerance_{0.3};
  double map_width_meters_{5.0};
  double map_height_meters_{5.0};
  double resolution_{0.1};
  double origin_x_{0.0};
  double origin_y_{0.0};
  double inflation_radius_{0.55};
  double cost_scaling_factor_{10.0};

  std::vector<geometry_msgs::msg::Point> unpadded_footprint_;
  std::vector<geometry_msgs::msg::Point> padded_footprint_;
};

}  // namespace nav2_costmap_2d

#endif  // NAV2_COSTMAP_2D__COSTMAP_2D_ROS_HPP_
