#include "pluginlib/class_list_macros.hpp"
#include "pluginlib_test_shapes.hpp"

namespace pluginlib_test
{

class Triangle : public Shape
{
public:
  std::string name() const override {return "triangle";}
};

class Square : public Shape
{
public:
  std::string name() const override {return "square";}
};

class Circle : public Shape
{
public:
  std::string name() const override {return "circle";}
};

}  // namespace pluginlib_test

PLUGINLIB_EXPORT_CLASS(pluginlib_test::Triangle, pluginlib_test::Shape)
PLUGINLIB_EXPORT_CLASS(pluginlib_test::Square, pluginlib_test::Shape)
PLUGINLIB_EXPORT_CLASS(pluginlib_test::Circle, pluginlib_test::Shape)
