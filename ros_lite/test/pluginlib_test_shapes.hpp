#ifndef PLUGINLIB_TEST_SHAPES_HPP_
#define PLUGINLIB_TEST_SHAPES_HPP_

#include <string>

// Plugin bases for the pluginlib suite; implementations live in the suite itself and in two
// plugin libraries (one shared, one static) that the suite never calls directly.
namespace pluginlib_test
{

class Shape
{
public:
  virtual ~Shape() {}
  virtual std::string name() const = 0;
};

class Tool
{
public:
  virtual ~Tool() {}
  virtual std::string name() const = 0;
};

}  // namespace pluginlib_test

#endif  // PLUGINLIB_TEST_SHAPES_HPP_
