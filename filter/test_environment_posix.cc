// On POSIX the registry and the drives are the platform layer's stand-in
// folders, so paths stay in Windows form.

#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "filter/test_environment.h"

namespace mervane {
namespace {

// The layer reads MERVANE_DRIVES once per process: every environment of a
// process uses this one drives folder, emptied when the environment ends.
const std::string& ProcessDrives() {
  static const std::string drives = [] {
    const std::string folder = (std::filesystem::temp_directory_path() /
                                ("mervane-drives-" + std::to_string(getpid())))
                                   .string();
    setenv("MERVANE_DRIVES", folder.c_str(), 1);
    return folder;
  }();
  return drives;
}

// The limit of open files before TakeAllDescriptors lowered it.
bool descriptors_taken = false;
rlimit descriptor_limit;

}  // namespace

bool TakeAllDescriptors() {
  if (getrlimit(RLIMIT_NOFILE, &descriptor_limit) != 0) return false;
  const rlimit none = {0, descriptor_limit.rlim_max};
  descriptors_taken = setrlimit(RLIMIT_NOFILE, &none) == 0;
  return descriptors_taken;
}

void GiveDescriptorsBack() {
  if (descriptors_taken) setrlimit(RLIMIT_NOFILE, &descriptor_limit);
  descriptors_taken = false;
}

void TestEnvironment::Install() {
  setenv("MERVANE_REGISTRY", (root_ + "/registry").c_str(), 1);
  std::filesystem::create_directories(ProcessDrives());
}

void TestEnvironment::Uninstall() {
  std::error_code ignored;
  std::filesystem::remove_all(ProcessDrives(), ignored);
}

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
