#ifndef CLASS_LOADER_TEST_ANIMALS_HPP_
#define CLASS_LOADER_TEST_ANIMALS_HPP_

#include <memory>
#include <string>
#include <utility>

// Plugin bases for the class_loader suites. The plugins live in shared libraries that the
// suites only open by path.
namespace class_loader_test
{

class Animal
{
public:
  virtual ~Animal() {}
  virtual std::string speak() const = 0;

  // Released when the object is destroyed, so a suite can see that without calling the
  // library's code.
  void holdWhileAlive(std::shared_ptr<void> token) {token_ = std::move(token);}

private:
  std::shared_ptr<void> token_;
};

class Vehicle
{
public:
  virtual ~Vehicle() {}
  virtual int wheels() const = 0;
};

}  // namespace class_loader_test

#endif  // CLASS_LOADER_TEST_ANIMALS_HPP_
