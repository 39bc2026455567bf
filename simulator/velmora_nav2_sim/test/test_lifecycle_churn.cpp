// A fresh controller server, over and over, taken down while it drives the simulated robot: it
// is configured, activated and given a long move, then cleaned up and destroyed (or destroyed
// straight away) while the move runs. Each time the goal must end ABORTED, the robot must stop,
// and nothing may crash or hang.
//
// VELMORA_CHURN_ITERATIONS sets the number of rounds (default 48).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <future>
#include <memory>
#include <string>
#include <thread>

#include "controller/nav_controller_server.hpp"
#include "lifecycle_msgs/msg/state.hpp"
#include "rclcpp/rclcpp.hpp"
#include "rclcpp_action/rclcpp_action.hpp"
#include "velmora/testing/rclcpp_environment.hpp"
#include "velmora_communicator/communicator_engine.hpp"
#include "velmora_nav2_gridmap/grid_map_ros.hpp"
#include "velmora_nav2_protocol/action/controller.hpp"
#include "velmora_sim_robot/sim_robot.hpp"

namespace
{
using namespace std::chrono_literals;
using Action = velmora_nav2_protocol::action::Controller;
using ClientGoalHandle = rclcpp_action::ClientGoalHandle<Action>;
using ResultCode = rclcpp_action::ResultCode;
using State = lifecycle_msgs::msg::State;

constexpr auto kDeadline = 10s;

const auto * const kEnvironment = ::testing::AddGlobalTestEnvironment(
  new velmora::testing::RclcppEnvironment({"--ros-args", "-p",
      "footprint:='[[0.30, 0.25], [0.30, -0.25], [-0.30, -0.25], [-0.30, 0.25]]'"}));

std::uint64_t iterations()
{
  const char * text = std::getenv("VELMORA_CHURN_ITERATIONS");
  return text != nullptr && *text != '\0' ? std::strtoull(text, nullptr, 10) : 48;
}

// One server's life: created, configured, activated and spun on its own executor thread.
class ServerUnderTest
{
public:
  explicit ServerUnderTest(std::shared_ptr<velmora_nav2_gridmap::GridMapROS> grid_map)
  : node_(std::make_shared<controller::NavControllerServer>(grid_map, rclcpp::NodeOptions()))
  {
    for (const char * name :
      {"min_x_velocity_threshold", "min_y_velocity_threshold", "min_theta_velocity_threshold"})
    {
      node_->declare_parameter(name, 0.0001);
    }
    configured_ = node_->configure().id() == State::PRIMARY_STATE_INACTIVE;
    activated_ = configured_ && node_->activate().id() == State::PRIMARY_STATE_ACTIVE;
    executor_.add_node(node_->get_node_base_interface());
    spinner_ = std::thread([this] {executor_.spin();});
  }

  ~ServerUnderTest() {destroy();}

  bool up() const {return activated_;}

  // Deactivation leaves a running goal running; cleanup must then end it and join the worker.
  bool cleanUp()
  {
    return node_->deactivate().id() == State::PRIMARY_STATE_INACTIVE &&
           node_->cleanup().id() == State::PRIMARY_STATE_UNCONFIGURED;
  }

  // Stops spinning and destroys the node, whatever its state.
  void destroy()
  {
    if (!node_) {
      return;
    }
    while (!executor_.is_spinning()) {
      std::this_thread::yield();
    }
    executor_.cancel();
    spinner_.join();
    executor_.remove_node(node_->get_node_base_interface());
    node_.reset();
  }

private:
  std::shared_ptr<controller::NavControllerServer> node_;
  rclcpp::executors::SingleThreadedExecutor executor_;
  std::thread spinner_;
  bool configured_{false};
  bool activated_{false};
};

class LifecycleChurn : public ::testing::Test
{
protected:
  static constexpr velmora_sim_robot::PlanarPose kStart{6.5, 4.2, 0.0};

  void SetUp() override
  {
    grid_map_ = std::make_shared<velmora_nav2_gridmap::GridMapROS>();
    velmora_sim_robot::SimRobotOptions options;
    options.start_pose = kStart;
    robot_ = std::make_shared<velmora_sim_robot::SimRobot>(
      std::make_shared<rclcpp::Node>("sim_robot"), options);
    velmora_communicator::CommunicatorEngine::GetInstance()->attachLink(robot_);
    robot_->start();
    client_node_ = std::make_shared<rclcpp::Node>("churn_client");
    client_ = rclcpp_action::create_client<Action>(client_node_, "control_to_goal");
    executor_.add_node(client_node_);
    spinner_ = std::thread([this] {executor_.spin();});
  }

  void TearDown() override
  {
    while (!executor_.is_spinning()) {
      std::this_thread::yield();
    }
    executor_.cancel();
    spinner_.join();
    client_.reset();
    robot_->stop();
    velmora_communicator::CommunicatorEngine::GetInstance()->detachLink();
  }

  // A lateral move of 1.5 m along the aisle, away from where the robot stands: it takes far
  // longer than a round of the churn.
  Action::Goal longMove() const
  {
    Action::Goal goal;
    goal.controller_id = "lateral_move_controller";
    goal.controller_frequency = 20;
    goal.nav_path.header.frame_id = "map";
    geometry_msgs::msg::PoseStamped pose;
    pose.header.frame_id = "map";
    pose.pose.position.x = robot_->mapPose().x < kStart.x ? kStart.x + 1.5 : kStart.x - 1.5;
    pose.pose.position.y = kStart.y;
    pose.pose.orientation.w = 1.0;
    goal.nav_path.poses = {pose, pose};
    return goal;
  }

  bool commanded(bool moving)
  {
    const auto deadline = std::chrono::steady_clock::now() + kDeadline;
    while (std::chrono::steady_clock::now() < deadline) {
      const auto command = robot_->command();
      const bool still = command.vx == 0.0 && command.vy == 0.0 && command.wz == 0.0;
      if (still != moving) {
        return true;
      }
      std::this_thread::sleep_for(2ms);
    }
    return false;
  }

  std::shared_ptr<velmora_nav2_gridmap::GridMapROS> grid_map_;
  std::shared_ptr<velmora_sim_robot::SimRobot> robot_;
  rclcpp::Node::SharedPtr client_node_;
  rclcpp_action::Client<Action>::SharedPtr client_;
  rclcpp::executors::SingleThreadedExecutor executor_;
  std::thread spinner_;
};

TEST_F(LifecycleChurn, ServerTakenDownMidGoalAbortsItAndStopsTheRobot)
{
  const std::uint64_t rounds = iterations();
  for (std::uint64_t round = 0; round < rounds; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    auto server = std::make_unique<ServerUnderTest>(grid_map_);
    ASSERT_TRUE(server->up());
    ASSERT_TRUE(client_->wait_for_action_server(kDeadline));

    auto handle = client_->async_send_goal(longMove());
    ASSERT_EQ(handle.wait_for(kDeadline), std::future_status::ready);
    ASSERT_NE(handle.get(), nullptr) << "the goal was rejected";
    auto result = client_->async_get_result(handle.get());
    // The server takes requests in order: once it has answered a cancel of nothing (goals
    // accepted before 1 s after the epoch), it holds the result request too, so that the
    // result is owed to this client whenever the goal ends.
    auto barrier = client_->async_cancel_goals_before(rclcpp::Time(1, 0));
    ASSERT_EQ(barrier.wait_for(kDeadline), std::future_status::ready);
    ASSERT_TRUE(commanded(true)) << "the robot never moved";

    // Even rounds go through cleanup first, odd rounds destroy the node as it is.
    if (round % 2 == 0) {
      EXPECT_TRUE(server->cleanUp());
    }
    server.reset();

    ASSERT_EQ(result.wait_for(kDeadline), std::future_status::ready) << "the goal never ended";
    EXPECT_EQ(result.get().code, ResultCode::ABORTED);
    EXPECT_TRUE(commanded(false)) << "the robot was left moving";
  }
}

}  // namespace
