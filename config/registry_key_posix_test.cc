// RegistryKey against the POSIX folder store, rooted in a fresh folder.

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

class RegistryKeyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* old = getenv("MERVANE_REGISTRY");
    had_old_ = old != nullptr;
    if (had_old_) old_ = old;
    setenv("MERVANE_REGISTRY", folder_.Path().c_str(), 1);
  }
  void TearDown() override {
    if (had_old_) {
      setenv("MERVANE_REGISTRY", old_.c_str(), 1);
    } else {
      unsetenv("MERVANE_REGISTRY");
    }
  }

  // The folder of the configuration key in the store.
  std::filesystem::path KeyFolder() const {
    return folder_.Path() / "HKEY_LOCAL_MACHINE" / "Software" / "Halvost soft" /
           "Mervane";
  }

  TestFolder folder_;
  bool had_old_ = false;
  std::string old_;
};

TEST_F(RegistryKeyTest, MissingKeyDoesNotOpen) {
  RegistryKey key(Root::kLocalMachine, schema::kRegistryKeyPath);
  EXPECT_FALSE(key.IsOpen());
  EXPECT_EQ(0u, key.ValueSize(schema::kRegistryValueName));
  EXPECT_EQ(nullptr, key.ReadString(schema::kRegistryValueName));
  EXPECT_EQ(0, key.WriteString(schema::kRegistryValueName, "x"));
  key.Close();
}

TEST_F(RegistryKeyTest, CreatesWritesAndReadsBack) {
  constexpr char kPath[] = "c:\\mervane\\mervane.cfg";
  RegistryKey created(1, Root::kLocalMachine, schema::kRegistryKeyPath);
  ASSERT_TRUE(created.IsOpen());
  EXPECT_EQ(nullptr, created.ReadString(schema::kRegistryValueName))
      << "a missing value";
  EXPECT_EQ(1, created.WriteString(schema::kRegistryValueName, kPath));
  created.Close();
  EXPECT_FALSE(created.IsOpen());

  RegistryKey key(Root::kLocalMachine, schema::kRegistryKeyPath);
  ASSERT_TRUE(key.IsOpen());
  EXPECT_EQ(std::strlen(kPath) + 1, key.ValueSize("configuration file"));
  auto text = key.ReadString(schema::kRegistryValueName);
  ASSERT_NE(nullptr, text);
  EXPECT_STREQ(kPath, text.get());
  char small[4];
  EXPECT_EQ(0u,
            key.ReadValue(schema::kRegistryValueName, small, sizeof(small)));
  EXPECT_EQ(0, key.WriteString(schema::kRegistryValueName, "x"))
      << "opened for reading";
  key.Close();
}

TEST_F(RegistryKeyTest, ValueWithoutTerminatorReadsAsText) {
  std::filesystem::create_directories(KeyFolder());
  WriteWholeFile((KeyFolder() / schema::kRegistryValueName).string(),
                 "/srv/mervane.cfg");
  RegistryKey key(Root::kLocalMachine, schema::kRegistryKeyPath);
  auto text = key.ReadString(schema::kRegistryValueName);
  ASSERT_NE(nullptr, text);
  EXPECT_STREQ("/srv/mervane.cfg", text.get());
  key.Close();
}

}  // namespace
}  // namespace mervane
