#include "pluginlib/class_list_macros.hpp"
#include "pluginlib_test_shapes.hpp"

namespace pluginlib_test
{

class Octagon : public Shape
{
public:
  std::string name() const override {return "octagon";}
};

// Called by the suite that links this library, so the program really depends on it.
std::string linkedOctagonName()
{
  return Octagon().name();
}

}  // namespace pluginlib_test

PLUGINLIB_EXPORT_CLASS(pluginlib_test::Octagon, pluginlib_test::Shape)
