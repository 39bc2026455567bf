// class_loader opens plugin libraries by path, attributes each registration to the library being
// opened, counts loads and closes a library only when nothing made from it is alive. Nothing in
// this program registers a class itself, so libraries really leave memory when closed.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "class_loader/class_loader.hpp"
#include "class_loader/multi_library_class_loader.hpp"
#include "class_loader_test_animals.hpp"
#include "mapped_library.hpp"

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using class_loader::ClassLoader;
using class_loader_test::Animal;
using class_loader_test::Vehicle;

namespace
{

const std::string kPets = PETS_LIBRARY;
const std::string kBirds = BIRDS_LIBRARY;
const std::string kNoPlugins = NO_PLUGINS_LIBRARY;

}  // namespace

// Declared first so that it runs first: on-demand closing stops for good once any unmanaged
// instance exists in the process.
TEST(ClassLoader, OnDemandLoaderOpensForTheFirstObjectAndClosesAfterTheLast)
{
  ASSERT_FALSE(ClassLoader::hasUnmanagedInstanceBeenCreated());
  ClassLoader loader(kPets, true);
  EXPECT_TRUE(loader.isOnDemandLoadUnloadEnabled());
  EXPECT_FALSE(loader.isLibraryLoaded());
  EXPECT_FALSE(isMapped(kPets));

  std::shared_ptr<Animal> dog = loader.createSharedInstance<Animal>("class_loader_test::Dog");
  auto cat = loader.createUniqueInstance<Animal>("class_loader_test::Cat");
  EXPECT_TRUE(loader.isLibraryLoaded());
  EXPECT_EQ(dog->speak(), "woof");

  dog.reset();
  EXPECT_TRUE(isMapped(kPets));
  cat.reset();
  EXPECT_FALSE(loader.isLibraryLoaded());
  EXPECT_FALSE(isMapped(kPets));

  // And opens again for the next one.
  EXPECT_EQ(loader.createSharedInstance<Animal>("class_loader_test::Cat")->speak(), "meow");
  EXPECT_FALSE(isMapped(kPets));
}

TEST(ClassLoader, ClassesBelongToTheLibraryThatRegisteredThem)
{
  ClassLoader pets(kPets);
  ClassLoader birds(kBirds);

  EXPECT_EQ(pets.getLibraryPath(), kPets);
  EXPECT_TRUE(pets.isLibraryLoaded());
  EXPECT_THAT(
    pets.getAvailableClasses<Animal>(),
    ElementsAre("class_loader_test::Cat", "class_loader_test::Dog"));
  EXPECT_THAT(pets.getAvailableClasses<Vehicle>(), ElementsAre("class_loader_test::Bicycle"));
  EXPECT_THAT(birds.getAvailableClasses<Animal>(), ElementsAre("class_loader_test::Robin"));
  EXPECT_THAT(birds.getAvailableClasses<Vehicle>(), IsEmpty());
  EXPECT_TRUE(birds.isClassAvailable<Animal>("class_loader_test::Robin"));
  EXPECT_FALSE(pets.isClassAvailable<Animal>("class_loader_test::Robin"));
  // A class is known for the base it was registered with only.
  EXPECT_FALSE(pets.isClassAvailable<Vehicle>("class_loader_test::Dog"));

  EXPECT_EQ(pets.createSharedInstance<Animal>("class_loader_test::Dog")->speak(), "woof");
  EXPECT_EQ(pets.createUniqueInstance<Vehicle>("class_loader_test::Bicycle")->wheels(), 2);
  EXPECT_EQ(birds.createUniqueInstance<Animal>("class_loader_test::Robin")->speak(), "tweet");
  EXPECT_THROW(
    pets.createSharedInstance<Animal>("class_loader_test::Robin"),
    class_loader::CreateClassException);
  EXPECT_THROW(
    pets.createUniqueInstance<Vehicle>("class_loader_test::Dog"),
    class_loader::CreateClassException);
}

TEST(ClassLoader, ALibraryThatCannotBeOpenedThrowsLibraryLoadException)
{
  const std::string missing = kPets + ".missing";
  try {
    ClassLoader loader(missing);
    FAIL() << "a missing library was opened";
  } catch (const class_loader::LibraryLoadException & ex) {
    EXPECT_THAT(ex.what(), HasSubstr(missing));
  }

  // A library without plugins opens, but has nothing to create.
  ClassLoader empty(kNoPlugins);
  EXPECT_TRUE(empty.isLibraryLoaded());
  EXPECT_THAT(empty.getAvailableClasses<Animal>(), IsEmpty());
  EXPECT_THROW(
    empty.createSharedInstance<Animal>("class_loader_test::Dog"),
    class_loader::CreateClassException);
}

TEST(ClassLoader, CountsLoadsAndClosesTheLibraryWithTheLastUnload)
{
  ClassLoader loader(kPets);
  loader.loadLibrary();
  EXPECT_TRUE(isMapped(kPets));

  EXPECT_EQ(loader.unloadLibrary(), 1);
  EXPECT_TRUE(loader.isLibraryLoaded());
  EXPECT_TRUE(isMapped(kPets));

  EXPECT_EQ(loader.unloadLibrary(), 0);
  EXPECT_FALSE(loader.isLibraryLoaded());
  EXPECT_FALSE(isMapped(kPets));
  EXPECT_EQ(loader.unloadLibrary(), 0);

  // Reopened, the library registers its classes again.
  loader.loadLibrary();
  EXPECT_EQ(loader.createSharedInstance<Animal>("class_loader_test::Cat")->speak(), "meow");
}

TEST(ClassLoader, NeverClosesTheLibraryUnderLiveManagedObjects)
{
  auto token = std::make_shared<int>(0);
  std::weak_ptr<int> watch = token;
  {
    ClassLoader loader(kPets);
    std::shared_ptr<Animal> dog = loader.createSharedInstance<Animal>("class_loader_test::Dog");
    dog->holdWhileAlive(std::move(token));

    EXPECT_EQ(loader.unloadLibrary(), 1);  // refused: the dog is alive
    EXPECT_TRUE(loader.isLibraryLoaded());
    EXPECT_EQ(dog->speak(), "woof");

    dog.reset();
    EXPECT_TRUE(watch.expired());
    EXPECT_EQ(loader.unloadLibrary(), 0);
    EXPECT_FALSE(isMapped(kPets));
  }

  // A loader destroyed before its objects leaves the library open for them.
  ClassLoader::UniquePtr<Animal> survivor(nullptr, [](Animal *) {});
  {
    ClassLoader short_lived(kPets);
    survivor = short_lived.createUniqueInstance<Animal>("class_loader_test::Cat");
  }
  EXPECT_TRUE(isMapped(kPets));
  EXPECT_EQ(survivor->speak(), "meow");
  survivor.reset();
  EXPECT_FALSE(isMapped(kPets));
}

TEST(ClassLoader, ALibraryOpenedByTwoLoadersClosesWhenBothLetGo)
{
  auto first = std::make_unique<ClassLoader>(kBirds);
  auto second = std::make_unique<ClassLoader>(kBirds);
  EXPECT_TRUE(second->isClassAvailable<Animal>("class_loader_test::Robin"));

  EXPECT_EQ(first->unloadLibrary(), 0);
  EXPECT_TRUE(isMapped(kBirds));
  // The first loader no longer owns the class; the second still creates it.
  EXPECT_FALSE(first->isClassAvailable<Animal>("class_loader_test::Robin"));
  EXPECT_EQ(second->createUniqueInstance<Animal>("class_loader_test::Robin")->speak(), "tweet");

  second.reset();
  EXPECT_FALSE(isMapped(kBirds));
  first.reset();
  EXPECT_FALSE(isMapped(kBirds));
}

TEST(MultiLibraryClassLoader, CreatesFromWhicheverLoadedLibraryHasTheClass)
{
  class_loader::MultiLibraryClassLoader loader(false);
  EXPECT_THAT(loader.getRegisteredLibraries(), IsEmpty());
  EXPECT_THROW(
    loader.createSharedInstance<Animal>("class_loader_test::Robin"),
    class_loader::CreateClassException);

  loader.loadLibrary(kPets);
  loader.loadLibrary(kBirds);
  loader.loadLibrary(kBirds);  // one loader per library, however often asked
  EXPECT_THAT(loader.getRegisteredLibraries(), ElementsAre(kBirds, kPets));
  EXPECT_TRUE(loader.isLibraryAvailable(kPets));
  EXPECT_THAT(
    loader.getAvailableClasses<Animal>(),
    ElementsAre("class_loader_test::Robin", "class_loader_test::Cat", "class_loader_test::Dog"));
  EXPECT_THAT(
    loader.getAvailableClassesForLibrary<Animal>(kBirds), ElementsAre("class_loader_test::Robin"));

  EXPECT_EQ(loader.createSharedInstance<Animal>("class_loader_test::Robin")->speak(), "tweet");
  EXPECT_EQ(loader.createUniqueInstance<Animal>("class_loader_test::Dog")->speak(), "woof");
  EXPECT_EQ(
    loader.createUniqueInstance<Vehicle>("class_loader_test::Bicycle", kPets)->wheels(), 2);
  EXPECT_THROW(
    loader.createUniqueInstance<Animal>("class_loader_test::Dog", kNoPlugins),
    class_loader::NoClassLoaderExistsException);

  {
    std::shared_ptr<Animal> robin = loader.createSharedInstance<Animal>("class_loader_test::Robin");
    EXPECT_EQ(loader.unloadLibrary(kBirds), 1);
    EXPECT_TRUE(loader.isLibraryAvailable(kBirds));
  }
  EXPECT_EQ(loader.unloadLibrary(kBirds), 0);
  EXPECT_FALSE(loader.isLibraryAvailable(kBirds));
  EXPECT_FALSE(isMapped(kBirds));
  EXPECT_EQ(loader.unloadLibrary(kBirds), 0);
  EXPECT_FALSE(loader.isClassAvailable<Animal>("class_loader_test::Robin"));
  EXPECT_TRUE(loader.isClassAvailable<Animal>("class_loader_test::Dog"));
}

TEST(MultiLibraryClassLoader, ObjectsKeepTheirLibraryOpenAfterTheLoaderIsGone)
{
  std::shared_ptr<Animal> robin;
  {
    class_loader::MultiLibraryClassLoader loader(false);
    loader.loadLibrary(kBirds);
    robin = loader.createSharedInstance<Animal>("class_loader_test::Robin");
  }
  EXPECT_TRUE(isMapped(kBirds));
  EXPECT_EQ(robin->speak(), "tweet");
  robin.reset();
  EXPECT_FALSE(isMapped(kBirds));
}

// Declared last among the ClassLoader cases: its unmanaged instance changes on-demand closing for
// the rest of the process.
TEST(ClassLoader, UnmanagedInstancesAreNotCountedAndStopOnDemandClosing)
{
  ClassLoader loader(kPets);
  std::unique_ptr<Animal> dog(loader.createUnmanagedInstance<Animal>("class_loader_test::Dog"));
  EXPECT_EQ(dog->speak(), "woof");
  EXPECT_TRUE(ClassLoader::hasUnmanagedInstanceBeenCreated());
  dog.reset();  // its owner deletes it before the library goes
  EXPECT_EQ(loader.unloadLibrary(), 0);
  EXPECT_FALSE(isMapped(kPets));

  ClassLoader on_demand(kBirds, true);
  on_demand.createSharedInstance<Animal>("class_loader_test::Robin").reset();
  EXPECT_TRUE(isMapped(kBirds));
  EXPECT_EQ(on_demand.unloadLibrary(), 0);
  EXPECT_FALSE(isMapped(kBirds));
}
