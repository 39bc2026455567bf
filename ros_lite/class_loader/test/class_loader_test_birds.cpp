#include "class_loader/class_loader.hpp"
#include "class_loader_test_animals.hpp"

namespace class_loader_test
{

class Robin : public Animal
{
public:
  std::string speak() const override {return "tweet";}
};

}  // namespace class_loader_test

CLASS_LOADER_REGISTER_CLASS(class_loader_test::Robin, class_loader_test::Animal)
