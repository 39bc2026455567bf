#include "class_loader/class_loader.hpp"
#include "class_loader_test_animals.hpp"

namespace class_loader_test
{

class Lion : public Animal
{
public:
  std::string speak() const override {return "roar";}
};

// Called by the suite that links this library, so the program really depends on it.
std::string linkedLionSound()
{
  return Lion().speak();
}

}  // namespace class_loader_test

CLASS_LOADER_REGISTER_CLASS(class_loader_test::Lion, class_loader_test::Animal)
