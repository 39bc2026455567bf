#ifndef CONTROLLER__ODOM_TWIST_SUBSCRIBER_HPP_
#define CONTROLLER__ODOM_TWIST_SUBSCRIBER_HPP_

#include <mutex>

#include "nav_2d_msgs/msg/twist2_d.hpp"
#include "nav_2d_utils/odom_subscriber.hpp"

namespace controller
{

// Nav2's odometry subscriber writes each sample under its mutex but hands it out without taking
// it. The control loop reads the twist on its own thread while the executor may be writing the
// next sample, so it reads under that same mutex: always one whole sample, never the x of one
// message with the yaw rate of the next.
class OdomTwistSubscriber : public nav_2d_utils::OdomSubscriber
{
public:
  using nav_2d_utils::OdomSubscriber::OdomSubscriber;

  nav_2d_msgs::msg::Twist2D latestTwist()
  {
    std::lock_guard<std::mutex> lock(odom_mutex_);
    return odom_vel_.velocity;
  }
};

}  // namespace controller

#endif  // CONTROLLER__ODOM_TWIST_SUBSCRIBER_HPP_
