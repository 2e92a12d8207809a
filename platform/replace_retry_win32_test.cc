// The limit of a replace's retries while a reader holds the target open.

#include <windows.h>

#include <filesystem>
#include <string>

#include "gtest/gtest.h"
#include "platform/platform.h"
#include "platform/platform_test_helpers.h"

namespace mervane {
namespace platform {
namespace {

// A reader that never lets go must fail the save, not hang it.
TEST(ReplaceRetryTest, GivesUpOnAReaderThatHoldsOn) {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / "mervane-replace-retry";
  std::filesystem::create_directories(dir);
  const std::string target = (dir / "mervane.cfg").string();
  const std::string source = (dir / "mervane.cfg.tmp").string();
  std::FILE* file = std::fopen(target.c_str(), "wb");
  std::fputs("old", file);
  std::fclose(file);
  file = std::fopen(source.c_str(), "wb");
  std::fputs("new", file);
  std::fclose(file);
  HANDLE reader =
      CreateFileA(target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, reader);
  EXPECT_FALSE(ReplaceFileAtomically(source.c_str(), target.c_str()));
  CloseHandle(reader);
  EXPECT_EQ("old", ReadWholeFile(target));
  EXPECT_EQ("new", ReadWholeFile(source));
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace platform
}  // namespace mervane
