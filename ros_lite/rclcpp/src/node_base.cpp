#include "rclcpp/node_interfaces/node_base.hpp"

#include <algorithm>
#include <cctype>
#include <memory>
#include <string>
#include <vector>

#include "rclcpp/detail/topic_graph.hpp"
#include "rclcpp/exceptions.hpp"

namespace rclcpp
{
namespace node_interfaces
{

namespace
{

bool is_name_char(char c)
{
  return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_';
}

bool is_digit(char c)
{
  return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

void validate_node_name(const std::string & name)
{
  if (name.empty()) {
    throw exceptions::InvalidNodeNameError(name.c_str(), "node name must not be empty", 0);
  }
  if (is_digit(name.front())) {
    throw exceptions::InvalidNodeNameError(
            name.c_str(), "node name must not start with a number", 0);
  }
  const auto bad = std::find_if_not(name.begin(), name.end(), is_name_char);
  if (bad != name.end()) {
    throw exceptions::InvalidNodeNameError(
            name.c_str(), "node name must not contain characters other than alphanumerics or '_'",
            static_cast<size_t>(bad - name.begin()));
  }
}

// A relative namespace is taken from the root, as rclcpp does.
std::string normalize_namespace(const std::string & namespace_)
{
  if (namespace_.empty()) {
    return "/";
  }
  return namespace_.front() == '/' ? namespace_ : "/" + namespace_;
}

void validate_namespace(const std::string & ns)
{
  if (ns == "/") {
    return;
  }
  if (ns.back() == '/') {
    throw exceptions::InvalidNamespaceError(
            ns.c_str(), "namespace must not end with a '/', unless only a '/'", ns.size() - 1);
  }
  for (size_t i = 0; i < ns.size(); ++i) {
    const char c = ns[i];
    if (c == '/') {
      if (i + 1 < ns.size() && ns[i + 1] == '/') {
        throw exceptions::InvalidNamespaceError(
                ns.c_str(), "namespace must not contain repeated '/'", i + 1);
      }
      if (i + 1 < ns.size() && is_digit(ns[i + 1])) {
        throw exceptions::InvalidNamespaceError(
                ns.c_str(), "namespace must not have a token that starts with a number", i + 1);
      }
    } else if (!is_name_char(c)) {
      throw exceptions::InvalidNamespaceError(
              ns.c_str(),
              "namespace must not contain characters other than alphanumerics, '_', or '/'", i);
    }
  }
}

std::string make_fully_qualified_name(const std::string & ns, const std::string & name)
{
  return ns == "/" ? "/" + name : ns + "/" + name;
}

std::string make_logger_name(const std::string & ns, const std::string & name)
{
  std::string logger_name;
  for (char c : ns.substr(1)) {
    logger_name += c == '/' ? '.' : c;
  }
  return logger_name.empty() ? name : logger_name + "." + name;
}

[[noreturn]] void throw_invalid_name(
  bool is_service, const std::string & name, const char * message, size_t index)
{
  if (is_service) {
    throw exceptions::InvalidServiceNameError(name.c_str(), message, index);
  }
  throw exceptions::InvalidTopicNameError(name.c_str(), message, index);
}

void replace_all(std::string & text, const std::string & from, const std::string & to)
{
  for (size_t pos = text.find(from); pos != std::string::npos; pos = text.find(from, pos)) {
    text.replace(pos, from.size(), to);
    pos += to.size();
  }
}

}  // namespace

NodeBase::NodeBase(
  const std::string & node_name,
  const std::string & namespace_,
  rclcpp::Context::SharedPtr context,
  const rcl_node_options_t & rcl_node_options,
  bool use_intra_process_default,
  bool enable_topic_statistics_default)
: context_(context),
  name_(node_name),
  namespace_(normalize_namespace(namespace_)),
  fully_qualified_name_(make_fully_qualified_name(this->namespace_, node_name)),
  logger_name_(make_logger_name(this->namespace_, node_name)),
  use_intra_process_default_(use_intra_process_default),
  enable_topic_statistics_default_(enable_topic_statistics_default),
  notify_guard_condition_(context)
{
  (void)rcl_node_options;
  if (!context_ || !context_->is_valid()) {
    throw exceptions::RCLError(
            "failed to initialize rcl node: the given context is not valid, either rcl_init() was "
            "not called or rcl_shutdown() was called.");
  }
  validate_node_name(name_);
  validate_namespace(this->namespace_);
  rcl_node_ = std::make_shared<rcl_node_t>(
    rcl_node_t{name_.c_str(), this->namespace_.c_str(), logger_name_.c_str()});
  default_callback_group_ = std::make_shared<rclcpp::CallbackGroup>(
    rclcpp::CallbackGroupType::MutuallyExclusive);
  callback_groups_.push_back(default_callback_group_);
  detail::TopicGraph::instance().add_node(fully_qualified_name_);
}

NodeBase::~NodeBase()
{
  detail::TopicGraph::instance().remove_node(fully_qualified_name_);
}

const char * NodeBase::get_name() const {return name_.c_str();}
const char * NodeBase::get_namespace() const {return namespace_.c_str();}
const char * NodeBase::get_fully_qualified_name() const {return fully_qualified_name_.c_str();}
rclcpp::Context::SharedPtr NodeBase::get_context() {return context_;}
rcl_node_t * NodeBase::get_rcl_node_handle() {return rcl_node_.get();}
const rcl_node_t * NodeBase::get_rcl_node_handle() const {return rcl_node_.get();}
std::shared_ptr<rcl_node_t> NodeBase::get_shared_rcl_node_handle() {return rcl_node_;}

std::shared_ptr<const rcl_node_t> NodeBase::get_shared_rcl_node_handle() const
{
  return rcl_node_;
}

rclcpp::CallbackGroup::SharedPtr NodeBase::create_callback_group(
  rclcpp::CallbackGroupType group_type, bool automatically_add_to_executor_with_node)
{
  auto group = std::make_shared<rclcpp::CallbackGroup>(
    group_type, automatically_add_to_executor_with_node);
  {
    std::lock_guard<std::mutex> lock(callback_groups_mutex_);
    callback_groups_.push_back(group);
  }
  notify_guard_condition_.trigger();
  return group;
}

rclcpp::CallbackGroup::SharedPtr NodeBase::get_default_callback_group()
{
  return default_callback_group_;
}

bool NodeBase::callback_group_in_node(rclcpp::CallbackGroup::SharedPtr group)
{
  std::lock_guard<std::mutex> lock(callback_groups_mutex_);
  return std::any_of(
    callback_groups_.begin(), callback_groups_.end(),
    [&group](const rclcpp::CallbackGroup::WeakPtr & weak_group) {
      return weak_group.lock() == group;
    });
}

void NodeBase::for_each_callback_group(const CallbackGroupFunction & func)
{
  std::vector<rclcpp::CallbackGroup::SharedPtr> groups;
  {
    std::lock_guard<std::mutex> lock(callback_groups_mutex_);
    callback_groups_.erase(
      std::remove_if(
        callback_groups_.begin(), callback_groups_.end(),
        [](const rclcpp::CallbackGroup::WeakPtr & weak_group) {return weak_group.expired();}),
      callback_groups_.end());
    for (const auto & weak_group : callback_groups_) {
      if (auto group = weak_group.lock()) {
        groups.push_back(group);
      }
    }
  }
  for (const auto & group : groups) {
    func(group);
  }
}

std::atomic_bool & NodeBase::get_associated_with_executor_atomic()
{
  return associated_with_executor_;
}

rclcpp::GuardCondition & NodeBase::get_notify_guard_condition()
{
  return notify_guard_condition_;
}

bool NodeBase::get_use_intra_process_default() const {return use_intra_process_default_;}

bool NodeBase::get_enable_topic_statistics_default() const
{
  return enable_topic_statistics_default_;
}

std::string NodeBase::resolve_topic_or_service_name(
  const std::string & name, bool is_service, bool only_expand) const
{
  if (name.empty()) {
    throw_invalid_name(
      is_service, name, is_service ? "service name must not be empty" :
      "topic name must not be empty", 0);
  }
  std::string expanded = name;
  replace_all(expanded, "{node}", name_);
  replace_all(expanded, "{ns}", namespace_);
  replace_all(expanded, "{namespace}", namespace_);
  if (expanded.front() == '~') {
    expanded = fully_qualified_name_ + expanded.substr(1);
  } else if (expanded.front() != '/') {
    expanded = (namespace_ == "/" ? "/" : namespace_ + "/") + expanded;
  }
  if (only_expand) {
    return expanded;
  }
  const char * const what = is_service ? "service name" : "topic name";
  if (expanded.size() > 1 && expanded.back() == '/') {
    throw_invalid_name(
      is_service, expanded, (std::string(what) + " must not end with a forward slash").c_str(),
      expanded.size() - 1);
  }
  for (size_t i = 0; i < expanded.size(); ++i) {
    const char c = expanded[i];
    if (c == '/') {
      if (i + 1 < expanded.size() && expanded[i + 1] == '/') {
        throw_invalid_name(
          is_service, expanded, (std::string(what) + " must not contain repeated '/'").c_str(),
          i + 1);
      }
      if (i + 1 < expanded.size() && is_digit(expanded[i + 1])) {
        throw_invalid_name(
          is_service, expanded,
          (std::string(what) + " token must not start with a number").c_str(), i + 1);
      }
    } else if (!is_name_char(c)) {
      throw_invalid_name(
        is_service, expanded,
        (std::string(what) + " must not contain characters other than alphanumerics, '_', '~', "
        "'{', or '}'").c_str(), i);
    }
  }
  return expanded;
}

const std::string & NodeBase::get_logger_name() const
{
  return logger_name_;
}

}  // namespace node_interfaces
}  // namespace rclcpp
