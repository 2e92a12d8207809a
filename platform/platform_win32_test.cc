#include <windows.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <regex>
#include <string>
#include <thread>

#include "gtest/gtest.h"
#include "platform/platform.h"
#include "platform/platform_test_helpers.h"

namespace mervane {
namespace platform {
namespace {

// A test key below HKEY_CURRENT_USER, unique to this run and removed after
// each test.
class RegistryTest : public ::testing::Test {
 protected:
  RegistryTest()
      : parent_("Software\\Mervane platform test " +
                std::to_string(GetCurrentProcessId())),
        path_(parent_ + "\\Halvost soft\\Mervane") {}
  void TearDown() override {
    RegDeleteTreeA(HKEY_CURRENT_USER, parent_.c_str());
  }
  RegistryHandle Open(bool create) {
    return OpenRegistryKey(RegistryRoot::kCurrentUser, path_.c_str(), create);
  }

  const std::string parent_;
  const std::string path_;
};

TEST_F(RegistryTest, CreateWriteAndReadBackWithTerminator) {
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
  EXPECT_FALSE(WriteRegistryString(key, "Configuration File", "x"))
      << "opened for reading";
  EXPECT_FALSE(DeleteRegistryValue(key, "Empty")) << "opened for reading";

  RegistryKeyInfo info;
  ASSERT_TRUE(QueryRegistryKeyInfo(key, &info));
  EXPECT_EQ(2u, info.values);
  EXPECT_EQ(0u, info.sub_keys);
  EXPECT_EQ(std::strlen("Configuration File"), info.max_value_name_length);
  // Wine, like Windows, counts the data as stored (UTF-16).
  EXPECT_LE(19u, info.max_value_data_length);
  CloseRegistryKey(key);

  key = Open(true);
  EXPECT_TRUE(DeleteRegistryValue(key, "EMPTY"));
  EXPECT_FALSE(DeleteRegistryValue(key, "Empty")) << "deleted already";
  EXPECT_EQ("<missing>", ReadValueData(key, "Empty"));
  CloseRegistryKey(key);
}

// A folder of its own below the temporary folder, removed after each test.
class FileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto dir =
        std::filesystem::temp_directory_path() /
        ("mervane-platform-" + std::to_string(GetCurrentProcessId()));
    ASSERT_TRUE(std::filesystem::create_directory(dir));
    dir_ = dir.string() + "\\";
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
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

  std::string dir_;
};

TEST_F(FileTest, LastWriteTimeIsTheFilesTime) {
  const std::string path = Write("mervane.cfg", "x");
  HANDLE handle = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, handle);
  FILETIME set;
  set.dwLowDateTime = 0x12345677;
  set.dwHighDateTime = 0x01DA0000;
  EXPECT_TRUE(SetFileTime(handle, nullptr, nullptr, &set));
  CloseHandle(handle);

  FileTime time;
  ASSERT_TRUE(QueryLastWriteTime(path.c_str(), &time));
  EXPECT_EQ(0x12345677u, time.low);
  EXPECT_EQ(0x01DA0000u, time.high);

  FileTime untouched = time;
  EXPECT_FALSE(QueryLastWriteTime((dir_ + "missing.cfg").c_str(), &untouched));
  EXPECT_EQ(time, untouched);
}

TEST_F(FileTest, TempFileReplacesTarget) {
  const std::string target = Write("mervane.cfg", "old\n");
  std::string temp, other;
  std::FILE* file = CreateSiblingTempFile(target.c_str(), &temp);
  ASSERT_NE(nullptr, file);
  std::FILE* second = CreateSiblingTempFile(target.c_str(), &other);
  ASSERT_NE(nullptr, second);
  std::fclose(second);
  EXPECT_NE(temp, other);
  EXPECT_EQ(0u, temp.rfind(dir_, 0)) << temp << " not in " << dir_;

  std::fputs("new\n", file);
  std::fclose(file);
  EXPECT_TRUE(ReplaceFileAtomically(temp.c_str(), target.c_str()));
  EXPECT_EQ("new\r\n", ReadWholeFile(target)) << "written in text mode";
  bool is_directory;
  EXPECT_FALSE(FindFileEntry(temp.c_str(), &is_directory)) << "source gone";
  EXPECT_FALSE(ReplaceFileAtomically(temp.c_str(), target.c_str()));
  EXPECT_TRUE(DeleteFileAt(other.c_str()));
  EXPECT_FALSE(DeleteFileAt(other.c_str()));
  EXPECT_EQ(nullptr,
            CreateSiblingTempFile((dir_ + "none\\x.cfg").c_str(), &temp));
}

TEST_F(FileTest, AppendToFileWritesTextModeLineEnds) {
  const std::string path = dir_ + "filter.log";
  EXPECT_TRUE(AppendToFile(path.c_str(), "a\nb\n", 4));
  EXPECT_TRUE(AppendToFile(path.c_str(), "c\n", 2));
  EXPECT_EQ("a\r\nb\r\nc\r\n", ReadWholeFile(path));
  EXPECT_FALSE(AppendToFile((dir_ + "none\\x.log").c_str(), "x", 1));
}

// Regression: a save failed whenever the filter happened to hold the file
// open (its time query, a reload), though it lets go within moments.
TEST_F(FileTest, ReplaceWaitsForAReaderThatLetsGo) {
  const std::string target = Write("mervane.cfg", "old\n");
  const std::string source = Write("new.cfg", "new\n");
  HANDLE reader =
      CreateFileA(target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, reader);
  std::thread let_go([reader] {
    Sleep(200);
    CloseHandle(reader);
  });
  EXPECT_TRUE(ReplaceFileAtomically(source.c_str(), target.c_str()));
  let_go.join();
  EXPECT_EQ("new\r\n", ReadWholeFile(target));
}

TEST(TimeStampTest, IsTimeWithoutSecondsThenDate) {
  char stamp[512];
  FormatLogTimeStamp(stamp, sizeof stamp);
  // One ':' between hours and minutes, none for seconds.
  EXPECT_TRUE(std::regex_match(stamp, std::regex("[^:,]*\\d:\\d\\d[^:,]*, "
                                                 "[^:,]*\\d[^:,]*")))
      << stamp;
}

}  // namespace
}  // namespace platform
}  // namespace mervane
