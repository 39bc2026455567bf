// A program that links a plugin library, and registers a class of its own, gets those
// registrations before main: pluginlib still creates only what a plugin description declares,
// a declared class of the linked library is created from the registration already made, and
// class_loader closes no library from then on.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "pluginlib/class_list_macros.hpp"
#include "pluginlib/class_loader.hpp"
#include "pluginlib/exceptions.hpp"
#include "mapped_library.hpp"
#include "pluginlib_test_shapes.hpp"

using ::testing::HasSubstr;

namespace pluginlib_test
{

std::string linkedOctagonName();

// Registered by this program, declared in no plugin description.
class Undeclared : public Shape
{
public:
  std::string name() const override {return "undeclared";}
};

}  // namespace pluginlib_test

PLUGINLIB_EXPORT_CLASS(pluginlib_test::Undeclared, pluginlib_test::Shape)

namespace
{

using ShapeLoader = pluginlib::ClassLoader<pluginlib_test::Shape>;
const char * const kPackage = "pluginlib_test_bases";
const char * const kShapeBase = "pluginlib_test::Shape";

}  // namespace

TEST(PluginlibWithLinkedPlugins, ARegisteredButUndeclaredClassCannotBeCreated)
{
  ShapeLoader loader(kPackage, kShapeBase);

  EXPECT_FALSE(loader.isClassAvailable("pluginlib_test::Undeclared"));
  try {
    loader.createUniqueInstance("pluginlib_test::Undeclared");
    FAIL() << "a class declared in no plugin description was created";
  } catch (const pluginlib::LibraryLoadException & ex) {
    EXPECT_THAT(ex.what(), HasSubstr("the class pluginlib_test::Undeclared"));
  }
}

TEST(PluginlibWithLinkedPlugins, ADeclaredClassOfTheLinkedLibraryIsCreated)
{
  ASSERT_EQ(pluginlib_test::linkedOctagonName(), "octagon");
  ShapeLoader loader(kPackage, kShapeBase);

  EXPECT_EQ(loader.createUniqueInstance("pluginlib_test::Octagon")->name(), "octagon");
  EXPECT_TRUE(loader.isClassLoaded("pluginlib_test::Octagon"));
}

TEST(PluginlibWithLinkedPlugins, LibrariesStayOpenAfterTheirLastUnload)
{
  ShapeLoader loader(kPackage, kShapeBase);
  const std::string library = loader.getClassLibraryPath("pluginlib_test::Triangle");

  EXPECT_EQ(loader.createSharedInstance("pluginlib_test::Triangle")->name(), "triangle");
  EXPECT_EQ(loader.unloadLibraryForClass("pluginlib_test::Triangle"), 0);
  EXPECT_TRUE(isMapped(library));

  // Opened again, it creates from the registrations it made the first time.
  EXPECT_EQ(loader.createSharedInstance("pluginlib_test::Triangle")->name(), "triangle");
}
