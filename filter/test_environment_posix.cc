// On POSIX the registry and the drives are the platform layer's stand-in
// folders, so paths stay in Windows form.

#include <stdlib.h>

#include "filter/test_environment.h"

namespace mervane {

void TestEnvironment::Install() {
  setenv("MERVANE_REGISTRY", (root_ + "/registry").c_str(), 1);
  setenv("MERVANE_DRIVES", (root_ + "/drives").c_str(), 1);
}

void TestEnvironment::Uninstall() {}

std::string TestEnvironment::Path(const std::string& path) const {
  return path;
}

}  // namespace mervane

// glibc loads and frees the user's locale data for each log time stamp under
// a lock ThreadSanitizer cannot see, so it would report those frees as races.
extern "C" const char* __tsan_default_suppressions() {
  return "race:_nl_unload_locale\n"
         "race:__freelocale\n";
}
