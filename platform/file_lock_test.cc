// The lock and the fresh files of a save, on both systems.

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

#include "gtest/gtest.h"
#include "platform/platform.h"
#include "platform/platform_test_helpers.h"

namespace mervane {
namespace platform {
namespace {

class FileLockTest : public ::testing::Test {
 protected:
  FileLockTest()
      : dir_(std::filesystem::temp_directory_path() /
             ("mervane-lock-" + std::to_string(std::chrono::steady_clock::now()
                                                   .time_since_epoch()
                                                   .count()))) {
    std::filesystem::create_directory(dir_);
  }
  ~FileLockTest() override { std::filesystem::remove_all(dir_); }

  std::string File(const char* name) const { return (dir_ / name).string(); }

  std::filesystem::path dir_;
};

TEST_F(FileLockTest, ASecondLockWaitsForTheFirst) {
  const std::string path = File("mervane.cfg.lock");
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
  EXPECT_EQ(nullptr, LockFileExclusively(File("none/x.lock").c_str()));
}

// A save killed half-way leaves its file; the next one starts it afresh.
TEST_F(FileLockTest, FreshFileTruncatesALeftover) {
  const std::string target = File("mervane.cfg");
  const std::string temp = File("mervane.cfg.tmp");
  std::FILE* leftover = CreateFreshFile(temp.c_str(), target.c_str());
  ASSERT_NE(nullptr, leftover);
  std::fputs("a longer text left by a killed save", leftover);
  std::fclose(leftover);
  std::FILE* fresh = CreateFreshFile(temp.c_str(), target.c_str());
  ASSERT_NE(nullptr, fresh);
  std::fputs("new", fresh);
  std::fclose(fresh);
  EXPECT_EQ("new", ReadWholeFile(temp));
  EXPECT_EQ(nullptr,
            CreateFreshFile(File("none/x.tmp").c_str(), target.c_str()));
  EXPECT_FALSE(LastErrorText().empty());
}

}  // namespace
}  // namespace platform
}  // namespace mervane
