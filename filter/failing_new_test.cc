// Every allocation of the test binary, and of the libraries it loads, goes
// through here, so that a test can make any one of them fail. Kept apart
// from the tests so that no allocation there is inlined against free().

#include <cstdlib>
#include <new>

namespace mervane {

thread_local int allocations_until_failure = 0;

}  // namespace mervane

void* operator new(std::size_t size) {
  if (mervane::allocations_until_failure > 0 &&
      --mervane::allocations_until_failure == 0) {
    throw std::bad_alloc();
  }
  if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
  throw std::bad_alloc();
}

void operator delete(void* block) noexcept { std::free(block); }

void operator delete(void* block, std::size_t) noexcept { std::free(block); }
