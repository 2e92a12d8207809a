#include "apache/filter_library.h"

#include <gtest/gtest.h>

#include <string>

namespace mervane {
namespace apache {
namespace {

TEST(FilterLibraryTest, LoadSaysWhyALibraryCannotBeHosted) {
  struct Case {
    const char* path;
    const char* error_start;
  } cases[] = {
      {"/nonexistent/mervane.so", "the file does not exist"},
      {"/etc/hostname", "it cannot be loaded: "},
      {MERVANE_FILTER_LIBRARY, ""},
  };
  for (const Case& c : cases) {
    FilterLibrary library;
    const std::string error = library.Load(c.path);
    EXPECT_EQ(0u, error.rfind(c.error_start, 0)) << c.path << ": " << error;
    EXPECT_EQ(error.empty(), *c.error_start == '\0') << c.path;
  }
}

}  // namespace
}  // namespace apache
}  // namespace mervane
