#include "pluginlib/class_list_macros.hpp"
#include "pluginlib_test_shapes.hpp"

namespace pluginlib_test
{

class Hexagon : public Shape
{
public:
  std::string name() const override {return "hexagon";}
};

class Diamond : public Shape
{
public:
  std::string name() const override {return "diamond";}
};

class Hammer : public Tool
{
public:
  std::string name() const override {return "hammer";}
};

}  // namespace pluginlib_test

PLUGINLIB_EXPORT_CLASS(pluginlib_test::Hexagon, pluginlib_test::Shape)
PLUGINLIB_EXPORT_CLASS(pluginlib_test::Diamond, pluginlib_test::Shape)
PLUGINLIB_EXPORT_CLASS(pluginlib_test::Hammer, pluginlib_test::Tool)
