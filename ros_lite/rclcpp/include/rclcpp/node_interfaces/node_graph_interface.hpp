#ifndef RCLCPP__NODE_INTERFACES__NODE_GRAPH_INTERFACE_HPP_
#define RCLCPP__NODE_INTERFACES__NODE_GRAPH_INTERFACE_HPP_

#include <map>
#include <string>
#include <vector>

#include "rclcpp/macros.hpp"
#include "rclcpp/node_interfaces/node_base_interface.hpp"

namespace rclcpp
{
namespace node_interfaces
{

// What the in-process graph knows: nodes, topics and their endpoints.
class NodeGraphInterface
{
public:
  RCLCPP_SMART_PTR_ALIASES_ONLY(NodeGraphInterface)

  virtual ~NodeGraphInterface() = default;

  // Topic name -> type names (the C++ message type, e.g. "geometry_msgs::msg::Twist").
  virtual std::map<std::string, std::vector<std::string>>
  get_topic_names_and_types(bool no_demangle = false) const = 0;
  // Fully qualified names of the live nodes.
  virtual std::vector<std::string> get_node_names() const = 0;
  // `topic_name` is resolved relative to this node.
  virtual size_t count_publishers(const std::string & topic_name) const = 0;
  virtual size_t count_subscribers(const std::string & topic_name) const = 0;
};

class NodeGraph : public NodeGraphInterface
{
public:
  RCLCPP_SMART_PTR_ALIASES_ONLY(NodeGraph)

  explicit NodeGraph(NodeBaseInterface * node_base);

  std::map<std::string, std::vector<std::string>>
  get_topic_names_and_types(bool no_demangle = false) const override;
  std::vector<std::string> get_node_names() const override;
  size_t count_publishers(const std::string & topic_name) const override;
  size_t count_subscribers(const std::string & topic_name) const override;

private:
  NodeBaseInterface * node_base_;
};

}  // namespace node_interfaces
}  // namespace rclcpp

#endif  // RCLCPP__NODE_INTERFACES__NODE_GRAPH_INTERFACE_HPP_
