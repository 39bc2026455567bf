#ifndef RCUTILS__ALLOCATOR_H_
#define RCUTILS__ALLOCATOR_H_

#include <cstddef>
#include <cstdlib>

// Allocator record of the C layers. The in-process implementation always uses the heap; the
// struct exists so that signatures taking allocators keep their shape.
typedef struct rcutils_allocator_s
{
  void * (*allocate)(size_t size, void * state);
  void (* deallocate)(void * pointer, void * state);
  void * (*reallocate)(void * pointer, size_t size, void * state);
  void * (*zero_allocate)(size_t number_of_elements, size_t size_of_element, void * state);
  void * state;
} rcutils_allocator_t;

namespace rcutils_detail
{
inline void * allocate(size_t size, void *) {return std::malloc(size);}
inline void deallocate(void * pointer, void *) {std::free(pointer);}
inline void * reallocate(void * pointer, size_t size, void *) {return std::realloc(pointer, size);}
inline void * zero_allocate(size_t count, size_t size, void *) {return std::calloc(count, size);}
}  // namespace rcutils_detail

inline rcutils_allocator_t rcutils_get_default_allocator()
{
  return rcutils_allocator_t{
    rcutils_detail::allocate, rcutils_detail::deallocate, rcutils_detail::reallocate,
    rcutils_detail::zero_allocate, nullptr};
}

#endif  // RCUTILS__ALLOCATOR_H_
