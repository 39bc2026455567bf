#include "tf2_ros/static_transform_broadcaster.h"

#include <algorithm>

namespace tf2_ros
{

void StaticTransformBroadcaster::sendTransform(
  const geometry_msgs::msg::TransformStamped & transform)
{
  sendTransform(std::vector<geometry_msgs::msg::TransformStamped>{transform});
}

void StaticTransformBroadcaster::sendTransform(
  const std::vector<geometry_msgs::msg::TransformStamped> & transforms)
{
  for (const auto & incoming : transforms) {
    auto known = std::find_if(
      net_message_.transforms.begin(), net_message_.transforms.end(),
      [&incoming](const geometry_msgs::msg::TransformStamped & t) {
        return t.child_frame_id == incoming.child_frame_id;
      });
    if (known != net_message_.transforms.end()) {
      *known = incoming;
    } else {
      net_message_.transforms.push_back(incoming);
    }
  }
  publisher_->publish(net_message_);
}

}  // namespace tf2_ros
