// A plugin library linked into the program registers its classes before main, outside any
// class_loader opening: those classes belong to no library and every loader can create them,
// and from then on class_loader closes no library, not knowing which code is still in use.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "class_loader/class_loader.hpp"
#include "class_loader/class_loader_core.hpp"
#include "class_loader_test_animals.hpp"
#include "mapped_library.hpp"

using ::testing::ElementsAre;
using class_loader::ClassLoader;
using class_loader_test::Animal;

namespace class_loader_test
{
std::string linkedLionSound();
}  // namespace class_loader_test

namespace
{

const std::string kPets = PETS_LIBRARY;
const std::string kLinked = LINKED_LIBRARY;

}  // namespace

TEST(ClassLoaderWithLinkedPlugins, LinkedClassesAreCreatableThroughAnyLoader)
{
  ASSERT_EQ(class_loader_test::linkedLionSound(), "roar");
  EXPECT_TRUE(class_loader::impl::hasANonPurePluginLibraryBeenOpened());

  ClassLoader pets(kPets);
  EXPECT_THAT(
    pets.getAvailableClasses<Animal>(),
    ElementsAre("class_loader_test::Cat", "class_loader_test::Dog", "class_loader_test::Lion"));
  EXPECT_EQ(pets.createSharedInstance<Animal>("class_loader_test::Lion")->speak(), "roar");

  // Opening the linked library itself registers nothing new; its class is still there.
  ClassLoader linked(kLinked);
  EXPECT_THAT(linked.getAvailableClasses<Animal>(), ElementsAre("class_loader_test::Lion"));
  EXPECT_EQ(linked.createUniqueInstance<Animal>("class_loader_test::Lion")->speak(), "roar");
}

TEST(ClassLoaderWithLinkedPlugins, NoLibraryIsClosedAnyMore)
{
  {
    ClassLoader pets(kPets);
    EXPECT_EQ(pets.unloadLibrary(), 0);
    EXPECT_TRUE(isMapped(kPets));
  }
  EXPECT_TRUE(isMapped(kPets));

  // The factories stayed valid, so a new loader creates from the library again.
  ClassLoader again(kPets);
  EXPECT_EQ(again.createSharedInstance<Animal>("class_loader_test::Dog")->speak(), "woof");
}
