// On Windows the real registry value is set aside and restored afterwards.

#include <cctype>

#include "config/config_schema.h"
#include "config/registry_key.h"
#include "filter/test_environment.h"
#include "platform/platform.h"

namespace mervane {

namespace {

void DeleteConfigurationValue() {
  platform::RegistryHandle key = platform::OpenRegistryKey(
      platform::RegistryRoot::kLocalMachine, schema::kRegistryKeyPath, true);
  platform::DeleteRegistryValue(key, schema::kRegistryValueName);
  platform::CloseRegistryKey(key);
}

}  // namespace

// The process's handles are limited by its memory alone.
bool TakeAllDescriptors() { return false; }

void GiveDescriptorsBack() {}

void TestEnvironment::Install() {
  registry_value_ =
      RegistryKey(RegistryKey::Root::kLocalMachine, schema::kRegistryKeyPath)
          .ReadString(schema::kRegistryValueName);
  DeleteConfigurationValue();
}

void TestEnvironment::Uninstall() {
  if (registry_value_ == nullptr) {
    DeleteConfigurationValue();
    return;
  }
  RegistryKey(1, RegistryKey::Root::kLocalMachine, schema::kRegistryKeyPath)
      .WriteString(schema::kRegistryValueName, registry_value_.get());
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
