// pluginlib creates exported classes by name: from the program itself, from a shared plugin
// library and from a static one the program never calls, with the exceptions and load
// bookkeeping of the real loader.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "class_loader/class_loader_core.hpp"
#include "pluginlib/class_list_macros.hpp"
#include "pluginlib/class_loader.hpp"
#include "pluginlib/exceptions.hpp"
#include "pluginlib_test_shapes.hpp"

using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::HasSubstr;

namespace pluginlib_test
{

class Square : public Shape
{
public:
  Square() {++alive;}
  ~Square() override {--alive;}
  std::string name() const override {return "square";}

  static int alive;
};
int Square::alive = 0;

class Circle : public Shape
{
public:
  std::string name() const override {return "circle";}
};

class Hammer : public Tool
{
public:
  std::string name() const override {return "hammer";}
};

// Registered under a base name of its own by the refresh test, after loaders exist.
class LateShape : public Shape
{
public:
  std::string name() const override {return "late";}
};

}  // namespace pluginlib_test

PLUGINLIB_EXPORT_CLASS(pluginlib_test::Square, pluginlib_test::Shape)
PLUGINLIB_EXPORT_CLASS(pluginlib_test::Circle, pluginlib_test::Shape)
PLUGINLIB_EXPORT_CLASS(pluginlib_test::Hammer, pluginlib_test::Tool)

namespace
{

using ShapeLoader = pluginlib::ClassLoader<pluginlib_test::Shape>;

const char * const kPackage = "pluginlib";
const char * const kShapeBase = "pluginlib_test::Shape";

}  // namespace

TEST(PluginlibClassLoader, CreatesExportedClassesByName)
{
  ShapeLoader loader(kPackage, kShapeBase);

  std::shared_ptr<pluginlib_test::Shape> shared =
    loader.createSharedInstance("pluginlib_test::Square");
  pluginlib::UniquePtr<pluginlib_test::Shape> unique =
    loader.createUniqueInstance("pluginlib_test::Circle");
  std::unique_ptr<pluginlib_test::Shape> unmanaged(
    loader.createUnmanagedInstance("pluginlib_test::Square"));

  EXPECT_EQ(shared->name(), "square");
  EXPECT_EQ(unique->name(), "circle");
  EXPECT_EQ(unmanaged->name(), "square");
}

TEST(PluginlibClassLoader, FindsRegistrationsOfSharedAndStaticPluginLibraries)
{
  ShapeLoader loader(kPackage, kShapeBase);

  EXPECT_THAT(
    loader.getDeclaredClasses(),
    ElementsAre(
      "pluginlib_test::Circle", "pluginlib_test::Hexagon", "pluginlib_test::Square",
      "pluginlib_test::Triangle"));
  EXPECT_EQ(loader.createUniqueInstance("pluginlib_test::Triangle")->name(), "triangle");
  EXPECT_EQ(loader.createUniqueInstance("pluginlib_test::Hexagon")->name(), "hexagon");

  // The shared library is its own file; a static one becomes part of the program.
  EXPECT_THAT(
    loader.getClassLibraryPath("pluginlib_test::Triangle"),
    EndsWith("libpluginlib_test_shared_plugins.so"));
  EXPECT_FALSE(loader.getClassLibraryPath("pluginlib_test::Square").empty());
  EXPECT_EQ(
    loader.getClassLibraryPath("pluginlib_test::Hexagon"),
    loader.getClassLibraryPath("pluginlib_test::Square"));
  EXPECT_EQ(loader.getClassLibraryPath("pluginlib_test::Nothing"), "");
}

TEST(PluginlibClassLoader, SeparatesClassesByBaseClass)
{
  pluginlib::ClassLoader<pluginlib_test::Tool> tools(kPackage, "pluginlib_test::Tool");

  EXPECT_THAT(tools.getDeclaredClasses(), ElementsAre("pluginlib_test::Hammer"));
  EXPECT_TRUE(tools.isClassAvailable("pluginlib_test::Hammer"));
  EXPECT_FALSE(tools.isClassAvailable("pluginlib_test::Square"));
  EXPECT_EQ(tools.getBaseClassType(), "pluginlib_test::Tool");
}

TEST(PluginlibClassLoader, UnknownClassThrowsLibraryLoadExceptionNamingIt)
{
  ShapeLoader loader(kPackage, kShapeBase);

  EXPECT_FALSE(loader.isClassAvailable("pluginlib_test::Pentagon"));
  try {
    loader.createSharedInstance("pluginlib_test::Pentagon");
    FAIL() << "an unknown class was created";
  } catch (const pluginlib::LibraryLoadException & ex) {
    EXPECT_THAT(ex.what(), HasSubstr("the class pluginlib_test::Pentagon"));
    EXPECT_THAT(ex.what(), HasSubstr("base class type pluginlib_test::Shape"));
    EXPECT_THAT(ex.what(), HasSubstr("pluginlib_test::Square"));
  }
  EXPECT_THROW(loader.createUniqueInstance("Square"), pluginlib::LibraryLoadException);
  EXPECT_THROW(
    loader.loadLibraryForClass("pluginlib_test::Pentagon"), pluginlib::LibraryLoadException);
  EXPECT_THROW(
    loader.unloadLibraryForClass("pluginlib_test::Pentagon"), pluginlib::LibraryUnloadException);
}

TEST(PluginlibClassLoader, UnknownPackageThrowsClassLoaderException)
{
  try {
    ShapeLoader loader("no_such_package", kShapeBase);
    FAIL() << "a loader was built for a missing package";
  } catch (const pluginlib::ClassLoaderException & ex) {
    EXPECT_THAT(ex.what(), HasSubstr("no_such_package"));
  }
  // Every stand-in exception is a pluginlib exception, as callers catch it.
  EXPECT_THROW(ShapeLoader("no_such_package", kShapeBase), pluginlib::PluginlibException);
}

TEST(PluginlibClassLoader, BaseNameOfAnotherTypeFailsAtCreation)
{
  // The loader's C++ type and the base name disagree: the classes are declared, but none can
  // be created as a Tool.
  pluginlib::ClassLoader<pluginlib_test::Tool> mismatched(kPackage, kShapeBase);

  EXPECT_TRUE(mismatched.isClassAvailable("pluginlib_test::Square"));
  EXPECT_THROW(
    mismatched.createSharedInstance("pluginlib_test::Square"), pluginlib::CreateClassException);
  EXPECT_EQ(pluginlib_test::Square::alive, 0);
}

TEST(PluginlibClassLoader, ManagedInstancesAreDeletedWithTheirLastOwner)
{
  ShapeLoader loader(kPackage, kShapeBase);
  {
    pluginlib::UniquePtr<pluginlib_test::Shape> unique =
      loader.createUniqueInstance("pluginlib_test::Square");
    std::shared_ptr<pluginlib_test::Shape> converted = std::move(unique);
    std::shared_ptr<pluginlib_test::Shape> shared =
      loader.createSharedInstance("pluginlib_test::Square");
    EXPECT_EQ(pluginlib_test::Square::alive, 2);
  }
  EXPECT_EQ(pluginlib_test::Square::alive, 0);

  // Objects outlive the loader that made them.
  std::shared_ptr<pluginlib_test::Shape> survivor;
  {
    ShapeLoader short_lived(kPackage, kShapeBase);
    survivor = short_lived.createSharedInstance("pluginlib_test::Square");
  }
  EXPECT_EQ(survivor->name(), "square");
  survivor.reset();
  EXPECT_EQ(pluginlib_test::Square::alive, 0);
}

TEST(PluginlibClassLoader, LoadsAndUnloadsLibrariesOnDemand)
{
  ShapeLoader loader(kPackage, kShapeBase);
  EXPECT_FALSE(loader.isClassLoaded("pluginlib_test::Triangle"));

  auto triangle = loader.createUniqueInstance("pluginlib_test::Triangle");
  EXPECT_TRUE(loader.isClassLoaded("pluginlib_test::Triangle"));
  // Loading is per library: the program's own classes are still unloaded.
  EXPECT_FALSE(loader.isClassLoaded("pluginlib_test::Circle"));

  EXPECT_EQ(loader.unloadLibraryForClass("pluginlib_test::Triangle"), 0);
  EXPECT_FALSE(loader.isClassLoaded("pluginlib_test::Triangle"));
  EXPECT_THROW(
    loader.unloadLibraryForClass("pluginlib_test::Triangle"), pluginlib::LibraryUnloadException);
  EXPECT_EQ(triangle->name(), "triangle");

  loader.loadLibraryForClass("pluginlib_test::Circle");
  EXPECT_TRUE(loader.isClassLoaded("pluginlib_test::Circle"));
  EXPECT_TRUE(loader.isClassLoaded("pluginlib_test::Square"));
}

TEST(PluginlibClassLoader, DescribesClassesByLookupName)
{
  ShapeLoader loader(kPackage, kShapeBase);

  EXPECT_EQ(loader.getClassType("pluginlib_test::Circle"), "pluginlib_test::Circle");
  EXPECT_EQ(loader.getClassType("pluginlib_test::Pentagon"), "");
  EXPECT_EQ(loader.getName("pluginlib_test::Circle"), "Circle");
  EXPECT_EQ(loader.getName("some_package/Circle"), "Circle");
  EXPECT_EQ(loader.getName("Circle"), "Circle");
  EXPECT_EQ(loader.getBaseClassType(), kShapeBase);
}

TEST(PluginlibClassLoader, RefreshPicksUpLaterRegistrations)
{
  const char * const late_base = "pluginlib_test::LateBase";
  ShapeLoader loader(kPackage, late_base);
  EXPECT_TRUE(loader.getDeclaredClasses().empty());

  static const int registration_site = 0;
  class_loader::impl::registerPlugin<pluginlib_test::LateShape, pluginlib_test::Shape>(
    "pluginlib_test::LateShape", late_base, &registration_site);
  EXPECT_FALSE(loader.isClassAvailable("pluginlib_test::LateShape"));

  loader.refreshDeclaredClasses();
  EXPECT_THAT(loader.getDeclaredClasses(), ElementsAre("pluginlib_test::LateShape"));
  EXPECT_EQ(loader.createSharedInstance("pluginlib_test::LateShape")->name(), "late");
}
