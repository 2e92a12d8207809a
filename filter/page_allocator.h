// PageAllocator: a standard allocator that takes each block as whole pages
// from the system and gives them back when the block is freed, so that a
// large structure leaves the process's resident size with it instead of
// staying in the heap as free blocks. For few, large blocks: every block
// costs at least a page.
//
// Thread safety: as the system's page calls, any thread at any time.

#ifndef MERVANE_FILTER_PAGE_ALLOCATOR_H_
#define MERVANE_FILTER_PAGE_ALLOCATOR_H_

#include <cstddef>
#include <new>
#include <vector>

#include "platform/platform.h"

namespace mervane {

template <typename T>
struct PageAllocator {
  using value_type = T;

  PageAllocator() = default;
  template <typename U>
  PageAllocator(const PageAllocator<U>&) {}

  T* allocate(std::size_t count) {
    void* pages = platform::AllocatePages(count * sizeof(T));
    if (pages == nullptr) throw std::bad_alloc();
    return static_cast<T*>(pages);
  }
  void deallocate(T* pages, std::size_t count) {
    platform::FreePages(pages, count * sizeof(T));
  }

  friend bool operator==(const PageAllocator&, const PageAllocator&) {
    return true;
  }
  friend bool operator!=(const PageAllocator&, const PageAllocator&) {
    return false;
  }
};

template <typename T>
using PageVector = std::vector<T, PageAllocator<T>>;

}  // namespace mervane

#endif  // MERVANE_FILTER_PAGE_ALLOCATOR_H_
