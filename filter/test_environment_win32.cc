// The test environment on Windows: the real registry, whose value naming
// the configuration file is put aside for the test and restored afterwards,
// and drives relocated into a temporary folder (d:\www becomes
// <temporary folder>\d\www).

#include <cctype>
#include <filesystem>
#include <random>

#include "config/config_schema.h"
#include "filter/test_environment.h"
#include "platform/platform.h"

namespace mervane {

namespace fs = std::filesystem;

namespace {

// The key of the value, opened for all access; null when it cannot be.
platform::RegistryHandle OpenConfigurationKey() {
  return platform::OpenRegistryKey(platform::RegistryRoot::kLocalMachine,
                                   schema::kRegistryKeyPath, true);
}

}  // namespace

TestEnvironment::TestEnvironment() {
  std::random_device random;
  fs::path root;
  do {
    root = fs::temp_directory_path() /
           ("mervane-filter-" + std::to_string(random() % 1000000));
  } while (!fs::create_directory(root));
  root_ = root.string();

  platform::RegistryHandle key = OpenConfigurationKey();
  uint32_t size = 0;
  if (platform::QueryRegistryValueSize(key, schema::kRegistryValueName,
                                       &size)) {
    registry_value_.resize(size);
    had_registry_value_ = platform::ReadRegistryValue(
        key, schema::kRegistryValueName, registry_value_.data(), &size);
    registry_value_.resize(size);
  }
  platform::DeleteRegistryValue(key, schema::kRegistryValueName);
  platform::CloseRegistryKey(key);
}

TestEnvironment::~TestEnvironment() {
  platform::RegistryHandle key = OpenConfigurationKey();
  if (had_registry_value_) {
    // The text as stored, up to its terminator.
    platform::WriteRegistryString(key, schema::kRegistryValueName,
                                  registry_value_.c_str());
  } else {
    platform::DeleteRegistryValue(key, schema::kRegistryValueName);
  }
  platform::CloseRegistryKey(key);
  std::error_code ignored;
  fs::remove_all(root_, ignored);
}

std::string TestEnvironment::Path(const std::string& path) const {
  if (path.size() < 2 || !std::isalpha(static_cast<unsigned char>(path[0])) ||
      path[1] != ':') {
    return path;
  }
  const char drive =
      static_cast<char>(std::tolower(static_cast<unsigned char>(path[0])));
  return root_ + "\\" + drive + path.substr(2);
}

}  // namespace mervane
