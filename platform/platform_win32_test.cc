#include <windows.h>
// After windows.h, which they need.
#include <aclapi.h>
#include <sddl.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "gtest/gtest.h"
#include "platform/platform.h"
#include "platform/platform_test_helpers.h"

namespace mervane {
namespace platform {
namespace {

// A key below HKEY_CURRENT_USER and a folder, unique to this run.
class Win32PlatformTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(std::filesystem::create_directory(dir_));
  }
  void TearDown() override {
    RegDeleteTreeA(HKEY_CURRENT_USER, parent_.c_str());
    std::filesystem::remove_all(dir_);
  }
  std::string Write(const char* name, const char* text) {
    const std::string path = dir_ + name;
    std::ofstream(path) << text;
    return path;
  }

  const std::string id_ = std::to_string(GetCurrentProcessId());
  const std::string parent_ = "Software\\Mervane platform test " + id_;
  const std::string dir_ =
      (std::filesystem::temp_directory_path() / ("mervane-platform-" + id_))
          .string() +
      "\\";
};

TEST_F(Win32PlatformTest, RegistryAndTempFileContracts) {
  ExpectRegistryContracts(RegistryRoot::kCurrentUser,
                          parent_ + "\\Halvost soft\\Mervane",
                          parent_ + "\\HALVOST SOFT\\mervane");
  const std::string target = Write("mervane.cfg", "old\n");
  ExpectDurableReplace(target.c_str(), target, "\r\n");
}

// A reader that never lets go must fail the save, not hang it.
TEST_F(Win32PlatformTest, ReplaceGivesUpOnAReaderThatHoldsOn) {
  const std::string target = Write("mervane.cfg", "old");
  const std::string temp = dir_ + "mervane.cfg.tmp";
  HANDLE reader =
      CreateFileA(target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, reader);
  std::string problem;
  EXPECT_EQ(Replacement::kFailed,
            ReplaceFileDurably(temp.c_str(), target.c_str(), "new", &problem));
  CloseHandle(reader);
  EXPECT_EQ("old", ReadWholeFile(target));
  EXPECT_FALSE(DeleteFileAt(temp.c_str())) << "temporary file left";
}

// The access control list of a file as text, or "<unread>".
std::string AclText(const std::string& path) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  char* text = nullptr;
  std::string result = "<unread>";
  if (GetNamedSecurityInfoA(path.c_str(), SE_FILE_OBJECT,
                            DACL_SECURITY_INFORMATION, nullptr, nullptr,
                            nullptr, nullptr, &descriptor) == ERROR_SUCCESS &&
      ConvertSecurityDescriptorToStringSecurityDescriptorA(
          descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text,
          nullptr)) {
    result = text;
    LocalFree(text);
  }
  LocalFree(descriptor);
  return result;
}

// Regression: a save gave the file the access control list of a new file in
// its folder instead of its own.
TEST_F(Win32PlatformTest, ReplaceKeepsTheAccessControlList) {
  const std::string target = Write("mervane.cfg", "old");
  // Only the system and the administrators: not what a new file gets.
  PSECURITY_DESCRIPTOR only_admins = nullptr;
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(
      "D:P(A;;FA;;;SY)(A;;FA;;;BA)", SDDL_REVISION_1, &only_admins, nullptr));
  ASSERT_TRUE(
      SetFileSecurityA(target.c_str(), DACL_SECURITY_INFORMATION, only_admins));
  LocalFree(only_admins);
  const std::string before = AclText(target);
  ASSERT_NE(AclText(Write("fresh", "x")), before);
  std::string problem;
  EXPECT_EQ(Replacement::kDurable,
            ReplaceFileDurably((target + ".tmp").c_str(), target.c_str(), "new",
                               &problem))
      << problem;
  EXPECT_EQ("new", ReadWholeFile(target));
  EXPECT_EQ(before, AclText(target));
}

// Regression: two saves of one size within a tick of the file clock looked
// alike to the filter, since a rename may carry the creation time over.
// The file is dated ahead, as if the clock had not moved since.
TEST_F(Win32PlatformTest, EachSaveIsDatedAfterTheFileItReplaces) {
  const std::string target = Write("mervane.cfg", "old");
  HANDLE file = CreateFileA(target.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  FILETIME later;
  GetSystemTimeAsFileTime(&later);
  later.dwHighDateTime += 100;  // some days ahead
  ASSERT_TRUE(SetFileTime(file, nullptr, nullptr, &later));
  CloseHandle(file);
  ExpectSavesDatedAfter(target);
}

TEST_F(Win32PlatformTest, ASecondLockWaitsForTheFirst) {
  ExpectLockExcludes(dir_ + "mervane.cfg.lock", dir_ + "none\\x");
}

TEST_F(Win32PlatformTest, AppendToFileWritesTextModeLineEnds) {
  const std::string path = dir_ + "filter.log";
  EXPECT_TRUE(AppendToFile(path.c_str(), "a\nb\n", 4));
  EXPECT_TRUE(AppendToFile(path.c_str(), "c\n", 2));
  EXPECT_EQ("a\r\nb\r\nc\r\n", ReadWholeFile(path));
  EXPECT_FALSE(AppendToFile((dir_ + "none\\x.log").c_str(), "x", 1));
}

}  // namespace
}  // namespace platform
}  // namespace mervane
