#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <regex>
#include <string>

#include "gtest/gtest.h"
#include "platform/platform.h"
#include "platform/platform_test_helpers.h"

namespace mervane {
namespace platform {
namespace {

// A key below HKEY_CURRENT_USER unique to this run, and a folder of its own
// below the temporary folder; both removed after each test.
class Win32PlatformTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string id = std::to_string(GetCurrentProcessId());
    parent_ = "Software\\Mervane platform test " + id;
    const auto dir =
        std::filesystem::temp_directory_path() / ("mervane-platform-" + id);
    ASSERT_TRUE(std::filesystem::create_directory(dir));
    dir_ = dir.string() + "\\";
  }
  void TearDown() override {
    RegDeleteTreeA(HKEY_CURRENT_USER, parent_.c_str());
    std::filesystem::remove_all(dir_);
  }
  RegistryHandle Open(bool create) {
    return OpenRegistryKey(RegistryRoot::kCurrentUser,
                           (parent_ + "\\Halvost soft\\Mervane").c_str(),
                           create);
  }
  std::string Write(const char* name, const char* text) {
    const std::string path = dir_ + name;
    std::FILE* file = OpenFile(path.c_str(), "wt");
    EXPECT_NE(nullptr, file) << path;
    if (file != nullptr) {
      std::fputs(text, file);
      std::fclose(file);
    }
    return path;
  }

  std::string parent_;
  std::string dir_;
};

TEST_F(Win32PlatformTest, RegistryStringsKeepTheirTerminator) {
  EXPECT_EQ(nullptr, Open(false)) << "reading open of a missing key";
  RegistryHandle key = Open(true);
  ASSERT_NE(nullptr, key);
  EXPECT_TRUE(
      WriteRegistryString(key, "Configuration File", "c:\\cfg\\mervane.cfg"));
  EXPECT_TRUE(WriteRegistryString(key, "Empty", ""));
  CloseRegistryKey(key);

  key = Open(false);
  ASSERT_NE(nullptr, key);
  EXPECT_EQ(std::string("c:\\cfg\\mervane.cfg", 19),
            ReadValueData(key, "CONFIGURATION FILE"));
  EXPECT_EQ(std::string(1, '\0'), ReadValueData(key, "Empty"));
  EXPECT_EQ("<missing>", ReadValueData(key, "Other"));
  char small[4];
  uint32_t size = sizeof small;
  EXPECT_FALSE(ReadRegistryValue(key, "Configuration File", small, &size));
  EXPECT_FALSE(WriteRegistryString(key, "Empty", "x")) << "opened for reading";
  EXPECT_FALSE(DeleteRegistryValue(key, "Empty")) << "opened for reading";
  CloseRegistryKey(key);

  key = Open(true);
  EXPECT_TRUE(DeleteRegistryValue(key, "EMPTY"));
  EXPECT_FALSE(DeleteRegistryValue(key, "Empty")) << "deleted already";
  CloseRegistryKey(key);
}

TEST_F(Win32PlatformTest, TempFileReplacesTargetInTextMode) {
  const std::string target = Write("mervane.cfg", "old\n");
  std::string temp, other;
  std::FILE* file = CreateSiblingTempFile(target.c_str(), &temp);
  ASSERT_NE(nullptr, file);
  std::fclose(CreateSiblingTempFile(target.c_str(), &other));
  EXPECT_NE(temp, other);
  EXPECT_EQ(0u, temp.rfind(dir_, 0)) << temp << " not in " << dir_;

  std::fputs("new\n", file);
  std::fclose(file);
  EXPECT_TRUE(ReplaceFileAtomically(temp.c_str(), target.c_str()));
  EXPECT_EQ("new\r\n", ReadWholeFile(target));
  EXPECT_FALSE(ReplaceFileAtomically(temp.c_str(), target.c_str()))
      << "source already gone";
  EXPECT_TRUE(DeleteFileAt(other.c_str()));
  EXPECT_FALSE(DeleteFileAt(other.c_str()));
  EXPECT_EQ(nullptr,
            CreateSiblingTempFile((dir_ + "none\\x.cfg").c_str(), &temp));
}

TEST_F(Win32PlatformTest, AppendToFileWritesTextModeLineEnds) {
  const std::string path = dir_ + "filter.log";
  EXPECT_TRUE(AppendToFile(path.c_str(), "a\nb\n", 4));
  EXPECT_TRUE(AppendToFile(path.c_str(), "c\n", 2));
  EXPECT_EQ("a\r\nb\r\nc\r\n", ReadWholeFile(path));
  EXPECT_FALSE(AppendToFile((dir_ + "none\\x.log").c_str(), "x", 1));
}

TEST(TimeStampTest, IsTimeWithoutSecondsThenDate) {
  char stamp[512];
  FormatLogTimeStamp(stamp, sizeof stamp);
  // One ':' between hours and minutes, none for seconds.
  EXPECT_TRUE(std::regex_match(
      stamp, std::regex("[^:,]*\\d:\\d\\d[^:,]*, [^:,]*\\d[^:,]*")))
      << stamp;
}

}  // namespace
}  // namespace platform
}  // namespace mervane
