#include <atomic>
#include <filesystem>
#include <random>
#include <string>
#include <thread>

#include "gtest/gtest.h"
#include "platform/platform.h"

namespace mervane {
namespace platform {
namespace {

TEST(FileLockTest, ASecondLockWaitsForTheFirst) {
  const auto dir = std::filesystem::temp_directory_path() /
                   ("mervane-lock-" + std::to_string(std::random_device()()));
  std::filesystem::create_directories(dir);
  const std::string path = (dir / "mervane.cfg.lock").string();
  FileLock first = LockFileExclusively(path.c_str());
  ASSERT_NE(nullptr, first);
  std::atomic<bool> second_held{false};
  std::thread second([&] {
    FileLock lock = LockFileExclusively(path.c_str());
    second_held = lock != nullptr;
    UnlockFile(lock);
  });
  SleepMilliseconds(200);
  EXPECT_FALSE(second_held) << "both held the lock at once";
  UnlockFile(first);
  second.join();
  EXPECT_TRUE(second_held);
  bool is_directory = true;
  EXPECT_TRUE(FindFileEntry(path.c_str(), &is_directory)) << "the file stays";
  const std::string missing = (dir / "none" / "x").string();
  EXPECT_EQ(nullptr, LockFileExclusively(missing.c_str()));
  EXPECT_EQ(nullptr, CreateFreshFile(missing.c_str(), path.c_str()));
  EXPECT_FALSE(LastErrorText().empty());
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace platform
}  // namespace mervane
