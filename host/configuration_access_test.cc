// What the start-up check says about the registry value and the file it
// names, as the server's user would meet them (permissions are left to the
// end-to-end test, whose children do not run as root).

#include "host/configuration_access.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "config/test_util.h"

namespace mervane {
namespace host {
namespace {

constexpr char kNoKey[] = "cannot open the key";
constexpr char kNoPath[] = "cannot read a configuration file's path";
constexpr char kNoFile[] = "cannot read the configuration file";

TEST(ConfigurationAccessTest, RegistryValueAndTheFileItNames) {
  TestFolder folder;
  const std::filesystem::path drives = folder.Path() / "drives";
  const std::filesystem::path key =
      folder.Path() /
      "registry/HKEY_LOCAL_MACHINE/Software/Halvost soft/Mervane";
  std::filesystem::create_directories(drives / "c/mervane");
  std::filesystem::create_directories(drives / "c/empty");
  std::filesystem::create_directories(drives / "c/dir.cfg");
  WriteWholeFile((drives / "c/mervane/mervane.cfg").string(), "");
  // This process only.
  setenv("MERVANE_REGISTRY", (folder.Path() / "registry").c_str(), 1);
  setenv("MERVANE_DRIVES", drives.c_str(), 1);

  const std::string cfg = std::string("c:\\mervane\\mervane.cfg") + '\0';
  const struct {
    const char* value_name;  // null: no value file; "": no key either
    std::string value;
    const char* expected;  // the reason's start; "" when it can start
  } kCases[] = {
      {"", "", kNoKey},
      {nullptr, "", kNoPath},
      {"Configuration File", cfg, ""},
      // A regression: an empty path passed as a file not yet created.
      {"Configuration File", std::string(1, '\0'), kNoPath},
      {"Configuration File", std::string(260, 'x'), kNoPath},
      // Loaded once it is created.
      {"Configuration File", "c:\\empty\\new.cfg", ""},
      {"Configuration File", "c:\\missing\\new.cfg", kNoFile},
      {"Configuration File", "c:\\dir.cfg", kNoFile},
  };
  for (const auto& c : kCases) {
    std::filesystem::remove_all(folder.Path() / "registry");
    const bool has_key = c.value_name == nullptr || *c.value_name != '\0';
    if (has_key) std::filesystem::create_directories(key);
    if (has_key && c.value_name != nullptr) {
      WriteWholeFile((key / c.value_name).string(), c.value);
    }
    const std::string error = ConfigurationReadError();
    // A refusal is told by its start; a start must be clean.
    const size_t shown = *c.expected != '\0' ? std::strlen(c.expected) : -1;
    EXPECT_EQ(c.expected, error.substr(0, shown))
        << (c.value_name ? c.value_name : "(none)") << " = " << c.value << ": "
        << error;
  }
  unsetenv("MERVANE_REGISTRY");
  unsetenv("MERVANE_DRIVES");
}

}  // namespace
}  // namespace host
}  // namespace mervane
