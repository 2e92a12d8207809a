// The benchmarks' "--library PATH" option: measure another build of the
// filter library, an older one for example, instead of this build's.

#ifndef MERVANE_BENCH_FILTER_LIBRARY_FLAG_H_
#define MERVANE_BENCH_FILTER_LIBRARY_FLAG_H_

#include <cstring>

namespace mervane {
namespace bench {

// The library that "--library PATH" at the front of the arguments names,
// taken off them, or else this build's.
inline const char* TakeLibraryFlag(int* argc, char*** argv) {
  if (*argc >= 3 && std::strcmp((*argv)[1], "--library") == 0) {
    const char* library = (*argv)[2];
    *argc -= 2;
    *argv += 2;
    return library;
  }
  return MERVANE_FILTER_LIBRARY;
}

}  // namespace bench
}  // namespace mervane

#endif  // MERVANE_BENCH_FILTER_LIBRARY_FLAG_H_
