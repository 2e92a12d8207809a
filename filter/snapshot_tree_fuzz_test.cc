// Fuzzer: any text read by Snapshot::Builder maps every request as the
// configuration tree loaded whole from it. Stops at the first request they
// map differently, with the request and both answers.
//
//   snapshot_tree_fuzzer [LIBFUZZER_FLAGS...] CORPUS... (seeds:
//   filter/testdata)

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "filter/snapshot_tree_test_util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::string mismatch =
      mervane::CompareWithTree(text, static_cast<uint32_t>(size), 200);
  if (!mismatch.empty()) {
    std::fprintf(stderr, "%s\n", mismatch.c_str());
    std::abort();
  }
  return 0;
}
