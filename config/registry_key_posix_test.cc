// RegistryKey against the POSIX folder store, rooted in a fresh folder. The
// store's own rules are checked in platform_posix_test.cc.

#include "config/registry_key.h"

#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "config/config_schema.h"
#include "config/test_util.h"
#include "gtest/gtest.h"

namespace mervane {
namespace {

using Root = RegistryKey::Root;
constexpr const char* kValue = schema::kRegistryValueName;

class RegistryKeyTest : public ::testing::Test {
 protected:
  // Only this test program reads the variable.
  void SetUp() override {
    setenv("MERVANE_REGISTRY", folder_.Path().c_str(), 1);
  }

  TestFolder folder_;
};

TEST_F(RegistryKeyTest, MissingKeyDoesNotOpen) {
  RegistryKey key(Root::kLocalMachine, schema::kRegistryKeyPath);
  EXPECT_FALSE(key.IsOpen());
  EXPECT_EQ(0u, key.ValueSize(kValue));
  EXPECT_EQ(nullptr, key.ReadString(kValue));
  EXPECT_EQ(0, key.WriteString(kValue, "x"));
}

TEST_F(RegistryKeyTest, CreatesWritesAndReadsBack) {
  constexpr char kPath[] = "c:\\mervane\\mervane.cfg";
  RegistryKey created(1, Root::kLocalMachine, schema::kRegistryKeyPath);
  ASSERT_TRUE(created.IsOpen());
  EXPECT_EQ(nullptr, created.ReadString(kValue)) << "a missing value";
  EXPECT_EQ(1, created.WriteString(kValue, kPath));
  created.Close();
  EXPECT_FALSE(created.IsOpen());

  RegistryKey key(Root::kLocalMachine, schema::kRegistryKeyPath);
  ASSERT_TRUE(key.IsOpen());
  EXPECT_EQ(std::strlen(kPath) + 1, key.ValueSize("configuration file"));
  auto text = key.ReadString(kValue);
  ASSERT_NE(nullptr, text);
  EXPECT_STREQ(kPath, text.get());
  char small[4];
  EXPECT_EQ(0u, key.ReadValue(kValue, small, sizeof(small)));
  EXPECT_EQ(0, key.WriteString(kValue, "x")) << "opened for reading";
  key.Close();
}

TEST_F(RegistryKeyTest, ValueWithoutTerminatorReadsAsText) {
  std::filesystem::path key_folder = folder_.Path() / "HKEY_LOCAL_MACHINE" /
                                     "Software" / "Halvost soft" / "Mervane";
  std::filesystem::create_directories(key_folder);
  WriteWholeFile((key_folder / kValue).string(), "/srv/mervane.cfg");
  RegistryKey key(Root::kLocalMachine, schema::kRegistryKeyPath);
  auto text = key.ReadString(kValue);
  ASSERT_NE(nullptr, text);
  EXPECT_STREQ("/srv/mervane.cfg", text.get());
  key.Close();
}

}  // namespace
}  // namespace mervane
