// The PID and straight-only PID controllers on a real node and grid-map service (the
// controller-base suites' room, walls at x 0.1 and y 0.1): the path handed to the core, arrival
// bookkeeping, refused plans, the collision look-ahead and the straight-only refusals.
#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "controller/pid_controller.hpp"
#include "controller/pid_controller_straight_only.hpp"
#include "controller_base_fixture.hpp"
#include "velmora/testing/log_capture.hpp"
#include "velmora/testing/map_pose.hpp"

namespace
{

using controller_base_test::twist;
using geometry_msgs::msg::PoseStamped;
using geometry_msgs::msg::Twist;
using Goal = velmora_nav2_protocol::action::Controller::Goal;
using velmora::testing::pose;

const double kNaN = std::numeric_limits<double>::quiet_NaN();

std::shared_ptr<Goal> goal(const std::vector<PoseStamped> & poses)
{
  auto result = std::make_shared<Goal>();
  result->controller_id = "pid_controller";
  result->nav_path.header.frame_id = "map";
  result->nav_path.poses = poses;
  return result;
}

// Reaches the cycle's pose and command, for checks below the base's cycle.
template<typename Base>
class Probe : public Base
{
public:
  using Base::Base;
  void setCommand(const Twist & command) {this->cmd_vel_ = command;}
  void setRobotPose(const PoseStamped & at) {this->robot_pose_ = at;}
  const Twist & command() const {return this->cmd_vel_;}
  std::size_t frontFootprintSize() const {return this->front_footprint_.size();}
};
using PidProbe = Probe<controller::PidController>;
using StraightProbe = Probe<controller::PidControllerStraightOnly>;

class PidControllerTest : public controller_base_test::ControllerBaseTest
{
protected:
  template<typename T>
  std::shared_ptr<T> make() {return std::make_shared<T>(node(), grid_map_);}
};

TEST_F(PidControllerTest, AnEmptyPathEndsWhereTheRobotStands)
{
  const auto pid = make<PidProbe>();
  velmora::testing::LogCapture log;
  placeRobot(1.0, 1.0, 0.3);
  ASSERT_TRUE(pid->setPlan(goal({})));
  EXPECT_EQ(log.linesContaining("PidController setPlan").size(), 1u);
  EXPECT_FALSE(pid->isGoalReached()) << "nothing computed yet";
  EXPECT_TRUE(log.linesContaining("pid isGoalReached").empty());

  link_->clear();
  ASSERT_TRUE(pid->computeAndPublishVelocity());
  EXPECT_EQ(link_->velocities().back(), Twist());
  EXPECT_EQ(log.linesContaining("pid readched pose is ").size(), 1u);
  EXPECT_TRUE(pid->isGoalReached());
  EXPECT_EQ(log.linesContaining("pid isGoalReached").size(), 1u);
  EXPECT_TRUE(pid->isGoalReached()) << "it stays reached until the next plan";
}

TEST_F(PidControllerTest, LogsTheFirstPosesOfALongPathAndCountsTheRest)
{
  const auto pid = make<PidProbe>();
  velmora::testing::LogCapture log;
  placeRobot(0.8, 2.0, 0.0);
  std::vector<geometry_msgs::msg::PoseStamped> poses;
  for (int i = 0; i < 5000; ++i) {
    poses.push_back(pose(0.8 + 0.0002 * i, 2.0));
  }
  ASSERT_TRUE(pid->setPlan(goal(poses)));
  EXPECT_EQ(log.linesContaining("pid get pose is ").size(), 50u);
  EXPECT_EQ(log.linesContaining("4950 more poses not logged").size(), 1u);
  // The whole path is followed all the same: its end is 1 m ahead, not after the 50th pose.
  placeRobot(0.85, 2.0, 0.0);
  ASSERT_TRUE(pid->computeAndPublishVelocity());
  EXPECT_FALSE(pid->isGoalReached());
}

TEST_F(PidControllerTest, FollowsAPathAndReportsArrivalOnlyAtItsEnd)
{
  const auto pid = make<PidProbe>();
  velmora::testing::LogCapture log;
  placeRobot(0.8, 2.0, 0.0);
  ASSERT_TRUE(pid->setPlan(goal({pose(1.5, 2.0), pose(2.2, 2.0)})));
  EXPECT_EQ(log.linesContaining("pid get pose is ").size(), 2u);
  link_->clear();
  ASSERT_TRUE(pid->computeAndPublishVelocity());
  EXPECT_GT(link_->velocities().back().linear.x, 0.0);
  EXPECT_FALSE(pid->isGoalReached());

  placeRobot(2.18, 2.0, 0.0);
  ASSERT_TRUE(pid->computeAndPublishVelocity());
  EXPECT_TRUE(pid->isGoalReached());

  // A new plan clears the arrival.
  ASSERT_TRUE(pid->setPlan(goal({pose(1.0, 2.0)})));
  EXPECT_FALSE(pid->isGoalReached());
}

TEST_F(PidControllerTest, RefusesAPlanWithoutRobotPoseOrWithPosesThatAreNotFinite)
{
  const auto pid = make<PidProbe>();
  velmora::testing::LogCapture log;
  EXPECT_FALSE(pid->setPlan(goal({pose(1.0, 1.0)}))) << "no transform to the robot yet";

  placeRobot(1.0, 1.0, 0.0);
  EXPECT_FALSE(pid->setPlan(goal({pose(1.5, 1.0), pose(kNaN, 1.0)})));
  EXPECT_EQ(log.linesContaining("PidController setPlan refuses").size(), 1u);
}

TEST_F(PidControllerTest, ACommandIntoTheWallIsRefused)
{
  const auto pid = make<PidProbe>();
  velmora::testing::LogCapture log;
  pid->setRobotPose(pose(0.4, 2.0, 3.14159));
  pid->setCommand(twist(0.5, 0.0, 0.0));
  EXPECT_FALSE(pid->isCollisionFree());
  EXPECT_EQ(log.linesContaining("!!!!! PidController isCollisionFree").size(), 1u);
  pid->setCommand(twist(-0.5, 0.0, 0.0));
  EXPECT_TRUE(pid->isCollisionFree()) << "away from the wall";
}

TEST_F(PidControllerTest, StraightOnlyRefusesReverseAndTightTurns)
{
  const auto straight = make<StraightProbe>();
  velmora::testing::LogCapture log;
  straight->setRobotPose(pose(1.5, 2.0, 0.0));

  straight->setCommand(twist(-0.01, 0.0, 0.0));
  EXPECT_FALSE(straight->isCollisionFree());
  EXPECT_EQ(log.linesContaining("!!!!! PidControllerStraightOnly be back").size(), 1u);

  straight->setCommand(twist(0.1, 0.0, 0.3));  // sin 0.3 / 0.1 = 2.96
  EXPECT_FALSE(straight->isCollisionFree());
  straight->setCommand(twist(0.0, 0.0, 0.2));  // on the spot
  EXPECT_FALSE(straight->isCollisionFree());
  EXPECT_EQ(log.linesContaining("!!!!! PidControllerStraightOnly spin too much").size(), 2u);

  straight->setCommand(twist(0.2, 0.0, 0.3));  // 1.48: on to the collision test, clear here
  EXPECT_TRUE(straight->isCollisionFree());
  straight->setCommand(Twist());
  EXPECT_TRUE(straight->isCollisionFree());

  // Into the wall ahead.
  straight->setRobotPose(pose(2.7, 1.0, 0.0));
  straight->setCommand(twist(0.5, 0.0, 0.0));
  EXPECT_FALSE(straight->isCollisionFree());
  EXPECT_EQ(log.linesContaining("!!!!! PidControllerStraightOnly not CollisionFree").size(), 1u);
}

TEST_F(PidControllerTest, StraightOnlyChecksTheFrontHalfOfTheFootprintOnly)
{
  // Backing against the wall is not checked: only the front of the footprint is swept.
  grid_map_->getCostmapROS()->setRobotFootprint({
      []{geometry_msgs::msg::Point p; p.x = 0.2; p.y = 0.15; return p;}(),
      []{geometry_msgs::msg::Point p; p.x = 0.2; p.y = -0.15; return p;}(),
      []{geometry_msgs::msg::Point p; p.x = 0.0; p.y = -0.15; return p;}(),
      []{geometry_msgs::msg::Point p; p.x = -0.6; p.y = -0.15; return p;}(),
      []{geometry_msgs::msg::Point p; p.x = -0.6; p.y = 0.15; return p;}(),
      []{geometry_msgs::msg::Point p; p.x = 0.0; p.y = 0.15; return p;}()});
  const auto straight = make<StraightProbe>();
  EXPECT_EQ(straight->frontFootprintSize(), 4u);
  straight->setRobotPose(pose(0.5, 2.0, 0.0));  // the tail would reach into the wall at x 0.1
  straight->setCommand(twist(0.1, 0.0, 0.0));
  EXPECT_TRUE(straight->isCollisionFree());
  const auto pid = make<PidProbe>();
  pid->setRobotPose(pose(0.5, 2.0, 0.0));
  pid->setCommand(twist(0.1, 0.0, 0.0));
  EXPECT_FALSE(pid->isCollisionFree()) << "the whole footprint touches the wall";

  // A footprint entirely behind the robot leaves no front to check: every command is refused.
  grid_map_->getCostmapROS()->setRobotFootprint({
      []{geometry_msgs::msg::Point p; p.x = -0.1; p.y = 0.1; return p;}(),
      []{geometry_msgs::msg::Point p; p.x = -0.1; p.y = -0.1; return p;}(),
      []{geometry_msgs::msg::Point p; p.x = -0.3; p.y = 0.0; return p;}()});
  const auto tailless = make<StraightProbe>();
  EXPECT_EQ(tailless->frontFootprintSize(), 0u);
  tailless->setRobotPose(pose(1.5, 2.0, 0.0));
  tailless->setCommand(twist(0.1, 0.0, 0.0));
  EXPECT_FALSE(tailless->isCollisionFree());
}

}  // namespace
