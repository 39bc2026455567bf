#include "class_loader/class_loader.hpp"
#include "class_loader_test_animals.hpp"

namespace class_loader_test
{

class Dog : public Animal
{
public:
  std::string speak() const override {return "woof";}
};

class Cat : public Animal
{
public:
  std::string speak() const override {return "meow";}
};

class Bicycle : public Vehicle
{
public:
  int wheels() const override {return 2;}
};

}  // namespace class_loader_test

CLASS_LOADER_REGISTER_CLASS(class_loader_test::Dog, class_loader_test::Animal)
CLASS_LOADER_REGISTER_CLASS(class_loader_test::Cat, class_loader_test::Animal)
CLASS_LOADER_REGISTER_CLASS(class_loader_test::Bicycle, class_loader_test::Vehicle)
