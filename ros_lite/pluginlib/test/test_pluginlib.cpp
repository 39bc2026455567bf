// pluginlib creates classes by the lookup names that plugin description files in the ament index
// declare, opening the shared libraries they name, with the exceptions and the load bookkeeping
// of the real loader. Nothing in this program registers a class itself, so plugin libraries
// really leave memory when closed.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "pluginlib/class_list_macros.hpp"
#include "pluginlib/class_loader.hpp"
#include "pluginlib/exceptions.hpp"
#include "mapped_library.hpp"
#include "pluginlib_test_shapes.hpp"

using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;

namespace
{

using ShapeLoader = pluginlib::ClassLoader<pluginlib_test::Shape>;

// The package owning the test bases; the test packages export their descriptions for it.
const char * const kPackage = "pluginlib_test_bases";
const char * const kShapeBase = "pluginlib_test::Shape";
const std::string kUnindexed = UNINDEXED_DESCRIPTIONS;

}  // namespace

TEST(PluginlibClassLoader, CreatesDeclaredClassesByLookupName)
{
  ShapeLoader loader(kPackage, kShapeBase);

  std::shared_ptr<pluginlib_test::Shape> shared =
    loader.createSharedInstance("pluginlib_test::Square");
  pluginlib::UniquePtr<pluginlib_test::Shape> unique = loader.createUniqueInstance("round/Circle");
  std::unique_ptr<pluginlib_test::Shape> unmanaged(
    loader.createUnmanagedInstance("pluginlib_test::Square"));

  EXPECT_EQ(shared->name(), "square");
  EXPECT_EQ(unique->name(), "circle");
  EXPECT_EQ(unmanaged->name(), "square");
}

TEST(PluginlibClassLoader, DeclaresTheClassesOfEveryIndexedDescriptionFromTwoLibraries)
{
  ShapeLoader loader(kPackage, kShapeBase);

  // Hammer shares a file with these but has another base; the two broken files are skipped.
  EXPECT_THAT(
    loader.getDeclaredClasses(),
    ElementsAre(
      "pluginlib_test::Cracked", "pluginlib_test::Diamond", "pluginlib_test::Ghost",
      "pluginlib_test::Hexagon", "pluginlib_test::Misnamed", "pluginlib_test::Octagon",
      "pluginlib_test::Square", "pluginlib_test::Triangle", "round/Circle"));
  EXPECT_EQ(loader.createUniqueInstance("pluginlib_test::Triangle")->name(), "triangle");
  EXPECT_EQ(loader.createUniqueInstance("pluginlib_test::Hexagon")->name(), "hexagon");
  EXPECT_THAT(
    loader.getRegisteredLibraries(),
    UnorderedElementsAre(
      EndsWith("/lib/libpluginlib_test_shared_plugins.so"),
      EndsWith("/lib/libpluginlib_test_polygon_plugins.so")));

  // Each <library> is its own file in the lib directory of the test prefix.
  EXPECT_THAT(
    loader.getClassLibraryPath("pluginlib_test::Triangle"),
    EndsWith("test_prefix/lib/libpluginlib_test_shared_plugins.so"));
  EXPECT_THAT(
    loader.getClassLibraryPath("pluginlib_test::Hexagon"),
    EndsWith("test_prefix/lib/libpluginlib_test_polygon_plugins.so"));
  EXPECT_EQ(
    loader.getClassLibraryPath("pluginlib_test::Square"),
    loader.getClassLibraryPath("pluginlib_test::Triangle"));
  EXPECT_EQ(loader.getClassLibraryPath("pluginlib_test::Nothing"), "");

  EXPECT_THAT(
    loader.getPluginXmlPaths(),
    UnorderedElementsAre(
      EndsWith("/share/pluginlib_test_plugins/plugins.xml"),
      EndsWith("/share/pluginlib_test_more_plugins/diamond.xml"),
      EndsWith("/share/pluginlib_test_more_plugins/missing.xml"),
      EndsWith("/share/pluginlib_test_more_plugins/corrupt.xml"),
      EndsWith("/share/pluginlib_test_broken_xml/broken.description"),
      EndsWith("/share/pluginlib_test_broken_xml/wrong_root.xml")));
}

TEST(PluginlibClassLoader, SeparatesClassesByBaseClass)
{
  pluginlib::ClassLoader<pluginlib_test::Tool> tools(kPackage, "pluginlib_test::Tool");

  EXPECT_THAT(tools.getDeclaredClasses(), ElementsAre("pluginlib_test::Hammer"));
  EXPECT_TRUE(tools.isClassAvailable("pluginlib_test::Hammer"));
  EXPECT_FALSE(tools.isClassAvailable("pluginlib_test::Square"));
  EXPECT_EQ(tools.getBaseClassType(), "pluginlib_test::Tool");
  EXPECT_EQ(tools.createSharedInstance("pluginlib_test::Hammer")->name(), "hammer");
}

TEST(PluginlibClassLoader, UnknownClassThrowsLibraryLoadExceptionNamingIt)
{
  ShapeLoader loader(kPackage, kShapeBase);

  EXPECT_FALSE(loader.isClassAvailable("pluginlib_test::Pentagon"));
  try {
    loader.createSharedInstance("pluginlib_test::Pentagon");
    FAIL() << "an unknown class was created";
  } catch (const pluginlib::LibraryLoadException & ex) {
    EXPECT_THAT(
      ex.what(), HasSubstr(
        "According to the loaded plugin descriptions the class pluginlib_test::Pentagon with "
        "base class type pluginlib_test::Shape does not exist. Declared types are "));
    EXPECT_THAT(ex.what(), HasSubstr(" pluginlib_test::Square"));
  }
  // Only the lookup name counts, not a shorter or a differently spelled one.
  EXPECT_THROW(loader.createUniqueInstance("Square"), pluginlib::LibraryLoadException);
  EXPECT_THROW(
    loader.createUniqueInstance("pluginlib_test::Circle"), pluginlib::LibraryLoadException);
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
  // Every pluginlib exception is a PluginlibException, as callers catch it.
  EXPECT_THROW(ShapeLoader("no_such_package", kShapeBase), pluginlib::PluginlibException);
  // A package exporting plugins is not the category they belong to.
  EXPECT_TRUE(ShapeLoader("pluginlib_test_plugins", kShapeBase).getDeclaredClasses().empty());
}

TEST(PluginlibClassLoader, BaseNameOfAnotherTypeFailsAtCreation)
{
  // The loader's C++ type and the base name disagree: the classes are declared, but none can
  // be created as a Tool.
  pluginlib::ClassLoader<pluginlib_test::Tool> mismatched(kPackage, kShapeBase);

  EXPECT_TRUE(mismatched.isClassAvailable("pluginlib_test::Square"));
  EXPECT_THROW(
    mismatched.createSharedInstance("pluginlib_test::Square"), pluginlib::CreateClassException);
  EXPECT_FALSE(mismatched.isClassLoaded("pluginlib_test::Square"));
}

TEST(PluginlibClassLoader, ADeclaredClassTheLibraryDoesNotRegisterFailsAtCreation)
{
  ShapeLoader loader(kPackage, kShapeBase);

  EXPECT_TRUE(loader.isClassAvailable("pluginlib_test::Misnamed"));
  try {
    loader.createUniqueInstance("pluginlib_test::Misnamed");
    FAIL() << "a class its library does not register was created";
  } catch (const pluginlib::CreateClassException & ex) {
    EXPECT_THAT(ex.what(), HasSubstr("pluginlib_test::Misnamed"));
  }
  // The library itself was opened fine.
  EXPECT_TRUE(loader.isClassLoaded("pluginlib_test::Hexagon"));
}

TEST(PluginlibClassLoader, ReadsADescriptionWithASingleLibraryRoot)
{
  ShapeLoader loader(kPackage, kShapeBase);

  EXPECT_EQ(loader.createSharedInstance("pluginlib_test::Diamond")->name(), "diamond");
  EXPECT_EQ(loader.getClassPackage("pluginlib_test::Diamond"), "pluginlib_test_more_plugins");
}

TEST(PluginlibClassLoader, ALibraryMissingOrBrokenOnDiskThrowsLibraryLoadException)
{
  ShapeLoader loader(kPackage, kShapeBase);

  EXPECT_TRUE(loader.isClassAvailable("pluginlib_test::Ghost"));
  EXPECT_EQ(loader.getClassLibraryPath("pluginlib_test::Ghost"), "");
  try {
    loader.createUniqueInstance("pluginlib_test::Ghost");
    FAIL() << "a class without a library file was created";
  } catch (const pluginlib::LibraryLoadException & ex) {
    EXPECT_THAT(
      ex.what(), HasSubstr(
        "Could not find library corresponding to plugin pluginlib_test::Ghost. Make sure that "
        "the library 'pluginlib_test_missing_plugins' actually exists."));
  }

  const std::string corrupt = loader.getClassLibraryPath("pluginlib_test::Cracked");
  EXPECT_THAT(corrupt, EndsWith("/lib/libpluginlib_test_corrupt_plugins.so"));
  try {
    loader.createSharedInstance("pluginlib_test::Cracked");
    FAIL() << "a class was created from a file that is no library";
  } catch (const pluginlib::LibraryLoadException & ex) {
    EXPECT_THAT(ex.what(), HasSubstr("Failed to load library " + corrupt));
  }
  EXPECT_THAT(loader.getRegisteredLibraries(), IsEmpty());
}

TEST(PluginlibClassLoader, SkipsInvalidDescriptionsButNotClassesWithoutType)
{
  ShapeLoader loader(kPackage, kShapeBase);
  EXPECT_FALSE(loader.isClassAvailable("pluginlib_test::Unparsed"));  // malformed XML
  EXPECT_FALSE(loader.isClassAvailable("pluginlib_test::Unrooted"));  // neither root tag
  EXPECT_TRUE(loader.isClassAvailable("pluginlib_test::Triangle"));

  EXPECT_THROW(
    ShapeLoader(kPackage, kShapeBase, "plugin", {kUnindexed + "/missing_type.xml"}),
    pluginlib::ClassLoaderException);
}

TEST(PluginlibClassLoader, ExplicitDescriptionFilesReplaceTheIndex)
{
  const std::string square_only = kUnindexed + "/square_only.xml";
  ShapeLoader loader(kPackage, kShapeBase, "plugin", {square_only});

  EXPECT_THAT(loader.getPluginXmlPaths(), ElementsAre(square_only));
  EXPECT_THAT(loader.getDeclaredClasses(), ElementsAre("only/Square"));
  EXPECT_EQ(loader.getPluginManifestPath("only/Square"), square_only);
  // The library is still found through the ament prefixes.
  EXPECT_EQ(loader.createUniqueInstance("only/Square")->name(), "square");
}

TEST(PluginlibClassLoader, ManagedInstancesAreDeletedWithTheirLastOwner)
{
  auto first_token = std::make_shared<int>(1);
  auto second_token = std::make_shared<int>(2);
  std::weak_ptr<int> first_watch = first_token;
  std::weak_ptr<int> second_watch = second_token;
  ShapeLoader loader(kPackage, kShapeBase);
  {
    pluginlib::UniquePtr<pluginlib_test::Shape> unique =
      loader.createUniqueInstance("pluginlib_test::Square");
    unique->holdWhileAlive(std::move(first_token));
    std::shared_ptr<pluginlib_test::Shape> converted = std::move(unique);
    std::shared_ptr<pluginlib_test::Shape> shared =
      loader.createSharedInstance("pluginlib_test::Square");
    shared->holdWhileAlive(std::move(second_token));
    EXPECT_FALSE(first_watch.expired());
    EXPECT_FALSE(second_watch.expired());
  }
  EXPECT_TRUE(first_watch.expired());
  EXPECT_TRUE(second_watch.expired());

  // Objects outlive the loader that made them, and keep their library open until they go.
  std::shared_ptr<pluginlib_test::Shape> survivor;
  std::string library;
  {
    ShapeLoader short_lived(kPackage, kShapeBase);
    survivor = short_lived.createSharedInstance("pluginlib_test::Hexagon");
    library = short_lived.getClassLibraryPath("pluginlib_test::Hexagon");
  }
  EXPECT_TRUE(isMapped(library));
  EXPECT_EQ(survivor->name(), "hexagon");
  survivor.reset();
  EXPECT_FALSE(isMapped(library));
}

TEST(PluginlibClassLoader, LoadsAndUnloadsLibrariesOnDemand)
{
  ShapeLoader loader(kPackage, kShapeBase);
  const std::string library = loader.getClassLibraryPath("pluginlib_test::Triangle");
  EXPECT_FALSE(loader.isClassLoaded("pluginlib_test::Triangle"));
  EXPECT_FALSE(isMapped(library));
  // Never loaded: there is nothing to unload.
  EXPECT_THROW(
    loader.unloadLibraryForClass("pluginlib_test::Triangle"), pluginlib::LibraryUnloadException);

  auto triangle = loader.createUniqueInstance("pluginlib_test::Triangle");
  EXPECT_TRUE(loader.isClassLoaded("pluginlib_test::Triangle"));
  EXPECT_TRUE(loader.isClassLoaded("round/Circle"));  // same library
  // Loading is per library: the other library's classes are still unloaded.
  EXPECT_FALSE(loader.isClassLoaded("pluginlib_test::Hexagon"));

  // Refused while the triangle lives: the library stays open and loaded.
  EXPECT_EQ(loader.unloadLibraryForClass("pluginlib_test::Triangle"), 1);
  EXPECT_TRUE(loader.isClassLoaded("pluginlib_test::Triangle"));
  EXPECT_EQ(triangle->name(), "triangle");

  triangle.reset();
  EXPECT_EQ(loader.unloadLibraryForClass("pluginlib_test::Triangle"), 0);
  EXPECT_FALSE(loader.isClassLoaded("pluginlib_test::Triangle"));
  EXPECT_FALSE(isMapped(library));
  EXPECT_EQ(loader.unloadLibraryForClass("pluginlib_test::Triangle"), 0);

  // Loaded again on the next creation.
  EXPECT_EQ(loader.createSharedInstance("pluginlib_test::Triangle")->name(), "triangle");

  loader.loadLibraryForClass("pluginlib_test::Hexagon");
  EXPECT_TRUE(loader.isClassLoaded("pluginlib_test::Hexagon"));
  EXPECT_TRUE(loader.isClassLoaded("pluginlib_test::Diamond"));
}

TEST(PluginlibClassLoader, DescribesClassesByLookupName)
{
  ShapeLoader loader(kPackage, kShapeBase);

  EXPECT_EQ(loader.getClassType("round/Circle"), "pluginlib_test::Circle");
  EXPECT_EQ(loader.getClassType("pluginlib_test::Square"), "pluginlib_test::Square");
  EXPECT_EQ(loader.getClassType("pluginlib_test::Circle"), "");
  EXPECT_EQ(loader.getClassType("pluginlib_test::Pentagon"), "");
  EXPECT_EQ(loader.getName("pluginlib_test::Circle"), "Circle");
  EXPECT_EQ(loader.getName("round/Circle"), "Circle");
  EXPECT_EQ(loader.getName("Circle"), "Circle");
  EXPECT_EQ(loader.getBaseClassType(), kShapeBase);

  EXPECT_EQ(loader.getClassDescription("round/Circle"), "No corners.");
  EXPECT_EQ(
    loader.getClassDescription("pluginlib_test::Square"),
    "No 'description' tag for this plugin in plugin description file.");
  EXPECT_EQ(loader.getClassDescription("pluginlib_test::Pentagon"), "");
  EXPECT_EQ(loader.getClassPackage("round/Circle"), "pluginlib_test_plugins");
  EXPECT_EQ(loader.getClassPackage("pluginlib_test::Pentagon"), "");
  EXPECT_THAT(
    loader.getPluginManifestPath("round/Circle"),
    EndsWith("test_prefix/share/pluginlib_test_plugins/plugins.xml"));
}

TEST(PluginlibClassLoader, RefreshPicksUpDescriptionsExportedLater)
{
  ShapeLoader loader(kPackage, kShapeBase);
  EXPECT_FALSE(loader.isClassAvailable("late/Triangle"));

  // A package installed into a prefix of its own after the loader was made.
  namespace fs = std::filesystem;
  const fs::path late_prefix =
    fs::temp_directory_path() / ("pluginlib_test_late_prefix_" + std::to_string(::getpid()));
  const fs::path index = late_prefix / "share" / "ament_index" / "resource_index";
  fs::create_directories(index / "packages");
  fs::create_directories(index / "pluginlib_test_bases__pluginlib__plugin");
  fs::create_directories(late_prefix / "share" / "pluginlib_test_late_plugins");
  std::ofstream(index / "packages" / "pluginlib_test_late_plugins");
  std::ofstream(index / "pluginlib_test_bases__pluginlib__plugin" / "pluginlib_test_late_plugins")
    << "share/pluginlib_test_late_plugins/late.xml\n";
  std::ofstream(late_prefix / "share" / "pluginlib_test_late_plugins" / "late.xml")
    << "<library path=\"pluginlib_test_shared_plugins\">\n"
    << "  <class name=\"late/Triangle\" type=\"pluginlib_test::Triangle\""
    << " base_class_type=\"pluginlib_test::Shape\"/>\n"
    << "</library>\n";
  const std::string original_path = std::getenv("AMENT_PREFIX_PATH");
  ::setenv("AMENT_PREFIX_PATH", (late_prefix.string() + ":" + original_path).c_str(), 1);

  EXPECT_FALSE(loader.isClassAvailable("late/Triangle"));
  loader.refreshDeclaredClasses();
  EXPECT_TRUE(loader.isClassAvailable("late/Triangle"));
  EXPECT_TRUE(loader.isClassAvailable("pluginlib_test::Triangle"));
  // Its library lives in another prefix, found through the ament index all the same.
  EXPECT_EQ(loader.createSharedInstance("late/Triangle")->name(), "triangle");

  ::setenv("AMENT_PREFIX_PATH", original_path.c_str(), 1);
  fs::remove_all(late_prefix);
}
