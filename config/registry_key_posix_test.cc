// The configuration path as both programs read it from the registry, here
// from the POSIX folder store (whose own rules platform_posix_test.cc checks).

#include <stdlib.h>

#include <filesystem>
#include <string>

#include "config/config_schema.h"
#include "config/registry_key.h"
#include "config/test_util.h"
#include "gtest/gtest.h"

namespace mervane {
namespace {

TEST(RegistryKeyTest, ReadConfigurationPathRefusesWhatNoPathBufferHolds) {
  TestFolder folder;
  // Only this test program reads the variable.
  setenv("MERVANE_REGISTRY", folder.Path().c_str(), 1);
  EXPECT_EQ(nullptr, ReadConfigurationPath()) << "no key";
  std::filesystem::path key = folder.Path() / "HKEY_LOCAL_MACHINE" /
                              "Software" / "Halvost soft" / "Mervane";
  std::filesystem::create_directories(key);
  const std::string value = (key / schema::kRegistryValueName).string();
  // Stored without a terminator, the value still reads as a text.
  for (const std::string& path :
       {std::string("/srv/mervane.cfg"), std::string(259, 'p'),
        std::string(260, 'p'), std::string()}) {
    WriteWholeFile(value, path);
    auto read = ReadConfigurationPath();
    if (path.empty() || path.size() >= 260) {
      EXPECT_EQ(nullptr, read) << path.size();
    } else {
      ASSERT_NE(nullptr, read) << path;
      EXPECT_EQ(path, read.get());
    }
  }
}

}  // namespace
}  // namespace mervane
