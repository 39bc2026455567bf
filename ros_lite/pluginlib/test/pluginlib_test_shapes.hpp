#ifndef PLUGINLIB_TEST_SHAPES_HPP_
#define PLUGINLIB_TEST_SHAPES_HPP_

#include <memory>
#include <string>
#include <utility>

// Plugin bases for the pluginlib suites. The implementations live in plugin libraries that the
// suites reach only through plugin descriptions in the ament index.
namespace pluginlib_test
{

class Shape
{
public:
  virtual ~Shape() {}
  virtual std::string name() const = 0;

  // Released when the object is destroyed, so a suite can see that without calling the
  // library's code.
  void holdWhileAlive(std::shared_ptr<void> token) {token_ = std::move(token);}

private:
  std::shared_ptr<void> token_;
};

class Tool
{
public:
  virtual ~Tool() {}
  virtual std::string name() const = 0;
};

}  // namespace pluginlib_test

#endif  // PLUGINLIB_TEST_SHAPES_HPP_
