#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "gtest/gtest.h"
#include "platform/platform.h"
#include "platform/platform_test_helpers.h"

namespace mervane {
namespace platform {

namespace {

namespace fs = std::filesystem;

constexpr char kKey[] = "Software\\Halvost soft\\Mervane";
constexpr char kValue[] = "Configuration File";

void WriteWhole(const fs::path& path, const std::string& data) {
  std::ofstream(path, std::ios::binary) << data;
}

// A fresh folder for each test, with the environment variables the layer
// reads pointing into it. (Only this test program reads them.)
class PosixPlatformTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/mervane-platform-XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(pattern));
    dir_ = pattern;
    setenv("MERVANE_REGISTRY", (dir_ / "registry").c_str(), 1);
    setenv("MERVANE_DRIVES", (dir_ / "drives").c_str(), 1);
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path KeyFolder() const {
    return dir_ / "registry/HKEY_LOCAL_MACHINE/Software/Halvost soft/Mervane";
  }

  fs::path dir_;
};

TEST_F(PosixPlatformTest, CreateMakesTheFoldersAndStoresTheTerminator) {
  EXPECT_EQ(nullptr, OpenRegistryKey(RegistryRoot::kLocalMachine, kKey, false))
      << "no registry folder at all";
  fs::create_directories(KeyFolder().parent_path());
  EXPECT_EQ(nullptr, OpenRegistryKey(RegistryRoot::kLocalMachine, kKey, false))
      << "parent key only";
  RegistryHandle key = OpenRegistryKey(RegistryRoot::kLocalMachine, kKey, true);
  ASSERT_NE(nullptr, key);
  EXPECT_TRUE(WriteRegistryString(key, kValue, "c:\\cfg\\mervane.cfg"));
  CloseRegistryKey(key);
  EXPECT_EQ(std::string("c:\\cfg\\mervane.cfg", 19),
            ReadWholeFile(KeyFolder() / kValue));
}

TEST_F(PosixPlatformTest, KeyAndValueNamesIgnoreLetterCase) {
  fs::create_directories(KeyFolder());
  WriteWhole(KeyFolder() / kValue, std::string("x.cfg", 6));
  RegistryHandle key = OpenRegistryKey(
      RegistryRoot::kLocalMachine, "SOFTWARE\\halvost SOFT\\mervane", false);
  ASSERT_NE(nullptr, key);
  EXPECT_EQ(std::string("x.cfg", 6), ReadValueData(key, "CONFIGURATION file"));
  EXPECT_EQ("<missing>", ReadValueData(key, "Other"));
  CloseRegistryKey(key);

  // Creating under other letter case reuses the folders and the value file.
  key = OpenRegistryKey(RegistryRoot::kLocalMachine,
                        "software\\HALVOST SOFT\\Mervane", true);
  ASSERT_NE(nullptr, key);
  EXPECT_TRUE(WriteRegistryString(key, "configuration FILE", "y.cfg"));
  CloseRegistryKey(key);
  EXPECT_EQ(1,
            std::distance(fs::directory_iterator(dir_ / "registry"
                                                        "/HKEY_LOCAL_MACHINE"),
                          fs::directory_iterator()));
  EXPECT_EQ(std::string("y.cfg", 6), ReadWholeFile(KeyFolder() / kValue));
}

TEST_F(PosixPlatformTest, ValueWrittenByHandReadsAsIsAndReadOnlyKeysRefuse) {
  fs::create_directories(KeyFolder());
  WriteWhole(KeyFolder() / kValue, "/srv/mervane.cfg\n");
  RegistryHandle key =
      OpenRegistryKey(RegistryRoot::kLocalMachine, kKey, false);
  ASSERT_NE(nullptr, key);
  EXPECT_EQ("/srv/mervane.cfg\n", ReadValueData(key, kValue));
  char small[4];
  uint32_t size = sizeof small;
  EXPECT_FALSE(ReadRegistryValue(key, kValue, small, &size))
      << "a buffer too small is a failure, not a cut value";
  EXPECT_FALSE(WriteRegistryString(key, kValue, "x"));
  EXPECT_FALSE(DeleteRegistryValue(key, kValue));
  CloseRegistryKey(key);
  EXPECT_EQ("/srv/mervane.cfg\n", ReadWholeFile(KeyFolder() / kValue));
}

TEST_F(PosixPlatformTest, WritesReplaceTheWholeValueAndLeaveNoTemporaries) {
  RegistryHandle key = OpenRegistryKey(RegistryRoot::kLocalMachine, kKey, true);
  ASSERT_NE(nullptr, key);
  EXPECT_TRUE(WriteRegistryString(key, kValue, "a much longer first text"));
  EXPECT_TRUE(WriteRegistryString(key, kValue, "short"));
  EXPECT_TRUE(WriteRegistryString(key, "Empty", ""));
  EXPECT_EQ(std::string("short", 6), ReadValueData(key, kValue));
  EXPECT_EQ(std::string(1, '\0'), ReadValueData(key, "Empty"));
  EXPECT_FALSE(WriteRegistryString(key, "a/b", "x")) << "not a file name";

  RegistryKeyInfo info;
  fs::create_directory(KeyFolder() / "Sub");
  ASSERT_TRUE(QueryRegistryKeyInfo(key, &info));
  EXPECT_EQ(2u, info.values) << "no temporary file is left behind";
  EXPECT_EQ(1u, info.sub_keys);
  EXPECT_EQ(std::strlen(kValue), info.max_value_name_length);
  EXPECT_EQ(6u, info.max_value_data_length);
  EXPECT_TRUE(DeleteRegistryValue(key, "EMPTY"));
  EXPECT_FALSE(DeleteRegistryValue(key, "Empty")) << "deleted already";
  CloseRegistryKey(key);
}

TEST_F(PosixPlatformTest, NativePathTranslatesDrivesAndBackslashes) {
  struct Case {
    const char* path;
    const char* expected;  // "@" stands for $MERVANE_DRIVES
  };
  const Case cases[] = {
      {"C:\\www\\site\\index.htm", "@/c/www/site/index.htm"},
      {"d:/www", "@/d/www"},
      {"Z:", "@/z"},
      {"c:relative\\x", "@/c/relative/x"},
      {"\\\\server\\share", "//server/share"},
      {"/srv/www/a.cfg", "/srv/www/a.cfg"},
      {"relative\\x", "relative/x"},
      {"1:\\x", "1:/x"},
      {"", ""},
  };
  const std::string drives = std::getenv("MERVANE_DRIVES");
  for (const Case& c : cases) {
    std::string expected = c.expected;
    if (expected[0] == '@') expected = drives + expected.substr(1);
    EXPECT_EQ(expected, NativePath(c.path)) << c.path;
  }
  unsetenv("MERVANE_DRIVES");
  EXPECT_EQ("/www/site", NativePath("C:\\www\\site"));
}

TEST_F(PosixPlatformTest, LastWriteTimeCarriesFullResolution) {
  const fs::path file = dir_ / "drives/c/mervane.cfg";
  fs::create_directories(file.parent_path());
  WriteWhole(file, "x");
  const struct timespec times[2] = {{0, UTIME_OMIT}, {1700000000, 123456789}};
  ASSERT_EQ(0, utimensat(AT_FDCWD, file.c_str(), times, 0));

  FileTime time;
  ASSERT_TRUE(QueryLastWriteTime("C:\\mervane.cfg", &time));
  // (1700000000 + 11644473600) * 10^7 + 1234567 intervals of 100 ns.
  const uint64_t expected = 133444736001234567ULL;
  EXPECT_EQ(static_cast<uint32_t>(expected), time.low);
  EXPECT_EQ(static_cast<uint32_t>(expected >> 32), time.high);

  // A change below a second is still a change.
  const struct timespec later[2] = {{0, UTIME_OMIT}, {1700000000, 123456889}};
  ASSERT_EQ(0, utimensat(AT_FDCWD, file.c_str(), later, 0));
  FileTime changed;
  ASSERT_TRUE(QueryLastWriteTime("C:\\mervane.cfg", &changed));
  EXPECT_EQ(time.low + 1, changed.low);

  FileTime untouched = time;
  EXPECT_FALSE(QueryLastWriteTime("C:\\missing.cfg", &untouched));
  EXPECT_FALSE(QueryLastWriteTime("C:\\", &untouched)) << "a folder";
  EXPECT_EQ(time, untouched);
}

TEST_F(PosixPlatformTest, TempFileReplacesTargetKeepingItsPermissions) {
  const fs::path target = dir_ / "drives/c/mervane.cfg";
  fs::create_directories(target.parent_path());
  WriteWhole(target, "old contents\n");
  chmod(target.c_str(), 0640);

  std::string temp, other;
  std::FILE* file = CreateSiblingTempFile("c:\\mervane.cfg", &temp);
  ASSERT_NE(nullptr, file);
  std::FILE* second = CreateSiblingTempFile("c:\\mervane.cfg", &other);
  ASSERT_NE(nullptr, second);
  std::fclose(second);
  EXPECT_NE(temp, other);
  EXPECT_EQ(target.parent_path(), fs::path(temp).parent_path());
  EXPECT_EQ("old contents\n", ReadWholeFile(target))
      << "target untouched so far";

  std::fputs("new\n", file);
  std::fclose(file);
  EXPECT_TRUE(ReplaceFileAtomically(temp.c_str(), "c:\\mervane.cfg"));
  EXPECT_EQ("new\n", ReadWholeFile(target));
  EXPECT_FALSE(fs::exists(temp));
  EXPECT_EQ(fs::perms(0640),
            fs::status(target).permissions() & fs::perms::mask);

  EXPECT_FALSE(ReplaceFileAtomically(temp.c_str(), "c:\\mervane.cfg"))
      << "source already gone";
  EXPECT_EQ("new\n", ReadWholeFile(target));
  EXPECT_TRUE(DeleteFileAt(other.c_str()));
  EXPECT_FALSE(DeleteFileAt(other.c_str()));
  EXPECT_EQ(nullptr, CreateSiblingTempFile("c:\\nowhere\\x.cfg", &temp));
}

// text with every digit replaced by '9', to compare a stamp's shape.
std::string DigitShape(std::string text) {
  for (char& c : text) {
    if (c >= '0' && c <= '9') c = '9';
  }
  return text;
}

TEST_F(PosixPlatformTest, LogTimeStampIsTimeWithoutSecondsThenShortDate) {
  setenv("LC_ALL", "C", 1);
  char stamp[512];
  FormatLogTimeStamp(stamp, sizeof stamp);
  EXPECT_EQ("99:99, 99/99/99", DigitShape(stamp));

  char small[6];
  FormatLogTimeStamp(small, sizeof small);
  EXPECT_EQ("99:99", DigitShape(small)) << "cut, and terminated";
}

}  // namespace
}  // namespace platform
}  // namespace mervane
