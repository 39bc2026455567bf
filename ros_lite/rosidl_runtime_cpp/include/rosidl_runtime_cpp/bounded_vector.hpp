#pragma once

#include <cstddef>
#include <initializer_list>
#include <memory>
#include <stdexcept>
#include <utility>
#include <vector>

namespace rosidl_runtime_cpp
{
// A vector that refuses to grow past UpperBound elements, as the sequence bound of a message
// field demands.
template<typename T, std::size_t UpperBound, typename Allocator = std::allocator<T>>
class BoundedVector : public std::vector<T, Allocator>
{
  using Base = std::vector<T, Allocator>;

public:
  BoundedVector() = default;
  BoundedVector(std::initializer_list<T> items)
  : Base(items)
  {
    checkSize(Base::size());
  }

  std::size_t max_size() const noexcept {return UpperBound;}

  void resize(std::size_t count)
  {
    checkSize(count);
    Base::resize(count);
  }
  void resize(std::size_t count, const T & value)
  {
    checkSize(count);
    Base::resize(count, value);
  }
  void push_back(const T & value)
  {
    checkSize(Base::size() + 1);
    Base::push_back(value);
  }
  void push_back(T && value)
  {
    checkSize(Base::size() + 1);
    Base::push_back(std::move(value));
  }
  template<typename ... Args>
  T & emplace_back(Args && ... args)
  {
    checkSize(Base::size() + 1);
    return Base::emplace_back(std::forward<Args>(args)...);
  }

private:
  static void checkSize(std::size_t count)
  {
    if (count > UpperBound) {
      throw std::length_error("Exceeded upper bound");
    }
  }
};
}  // namespace rosidl_runtime_cpp
