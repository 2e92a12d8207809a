// Checks of the contracts that the POSIX and the Windows implementations of
// the platform layer share.

#ifndef MERVANE_PLATFORM_PLATFORM_TEST_HELPERS_H_
#define MERVANE_PLATFORM_PLATFORM_TEST_HELPERS_H_

#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "gtest/gtest.h"
#include "platform/platform.h"

namespace mervane {
namespace platform {

// The bytes of a file, as stored.
inline std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline std::string ReadValueData(RegistryHandle key, const char* name) {
  uint32_t size = 0;
  if (!QueryRegistryValueSize(key, name, &size)) return "<missing>";
  std::string data(size, '?');
  if (!ReadRegistryValue(key, name, &data[0], &size)) return "<unread>";
  data.resize(size);
  return data;
}

// Strings are stored whole with their terminator, names match in any letter
// case, and a key opened for reading refuses changes. path names a missing
// key.
inline void ExpectRegistryContracts(RegistryRoot root, const std::string& path,
                                    const std::string& other_case) {
  EXPECT_EQ(nullptr, OpenRegistryKey(root, path.c_str(), false));
  RegistryHandle key = OpenRegistryKey(root, path.c_str(), true);
  ASSERT_NE(nullptr, key);
  EXPECT_TRUE(WriteRegistryString(key, "Configuration File", "a longer text"));
  EXPECT_TRUE(WriteRegistryString(key, "Configuration File", "c:\\m.cfg"));
  EXPECT_TRUE(WriteRegistryString(key, "Empty", ""));
  CloseRegistryKey(key);

  key = OpenRegistryKey(root, other_case.c_str(), false);
  ASSERT_NE(nullptr, key);
  EXPECT_EQ(std::string("c:\\m.cfg", 9),
            ReadValueData(key, "CONFIGURATION file"));
  EXPECT_EQ(std::string(1, '\0'), ReadValueData(key, "Empty"));
  EXPECT_EQ("<missing>", ReadValueData(key, "Other"));
  char small[4];
  uint32_t size = sizeof small;
  EXPECT_FALSE(ReadRegistryValue(key, "Configuration File", small, &size))
      << "a buffer too small is a failure, not a cut value";
  EXPECT_FALSE(WriteRegistryString(key, "Empty", "x")) << "opened for reading";
  EXPECT_FALSE(DeleteRegistryValue(key, "Empty")) << "opened for reading";
  CloseRegistryKey(key);

  key = OpenRegistryKey(root, other_case.c_str(), true);
  EXPECT_TRUE(DeleteRegistryValue(key, "EMPTY"));
  EXPECT_FALSE(DeleteRegistryValue(key, "Empty")) << "deleted already";
  CloseRegistryKey(key);
}

// A save replaces target (an existing file, native_target in the file
// system's form) whole; line_end is how a written "\n" is stored. A file
// left at the temporary name by a killed save is taken over; a temporary
// file that cannot be made fails the save and leaves the target alone.
inline void ExpectDurableReplace(const char* target,
                                 const std::string& native_target,
                                 const std::string& line_end) {
  const std::string temp = std::string(target) + ".tmp";
  std::string problem;
  ASSERT_TRUE(AppendToFile(temp.c_str(), "a longer text of a killed save", 30));
  EXPECT_EQ(Replacement::kDurable,
            ReplaceFileDurably(temp.c_str(), target, "new\n", &problem))
      << problem;
  EXPECT_EQ("new" + line_end, ReadWholeFile(native_target));
  EXPECT_FALSE(DeleteFileAt(temp.c_str())) << "temporary file left";
  const std::string missing = std::string(target) + ".none/x";
  EXPECT_EQ(Replacement::kFailed,
            ReplaceFileDurably(missing.c_str(), target, "x", &problem));
  EXPECT_EQ(missing + ": ", problem.substr(0, missing.size() + 2));
  EXPECT_EQ("new" + line_end, ReadWholeFile(native_target));
}

// Two saves of one size over target, which is dated ahead of the clock: each
// is dated after the file it replaces, so that none repeats the stamp of the
// file before, whose identity a file system may give it back.
inline void ExpectSavesDatedAfter(const std::string& target) {
  const auto ticks = [](const FileStamp& stamp) {
    return (uint64_t{stamp.last_write_time.high} << 32) |
           stamp.last_write_time.low;
  };
  FileStamp stamps[3];
  ASSERT_TRUE(QueryFileStamp(target.c_str(), &stamps[0]));
  for (int save = 1; save < 3; ++save) {
    std::string problem;
    ASSERT_EQ(Replacement::kDurable,
              ReplaceFileDurably((target + ".tmp").c_str(), target.c_str(),
                                 "v" + std::to_string(save), &problem))
        << problem;
    ASSERT_TRUE(QueryFileStamp(target.c_str(), &stamps[save]));
    EXPECT_LT(ticks(stamps[save - 1]), ticks(stamps[save])) << save;
  }
  EXPECT_NE(stamps[0], stamps[2]);
}

// A second lock of path (in an existing folder) waits for the first, and the
// lock file stays; a lock in a missing folder fails.
inline void ExpectLockExcludes(const std::string& path,
                               const std::string& missing) {
  FileLock first = LockFileExclusively(path.c_str());
  ASSERT_NE(nullptr, first);
  std::atomic<bool> second_held{false};
  std::thread second([&] {
    FileLock lock = LockFileExclusively(path.c_str());
    second_held = lock != nullptr;
    UnlockFile(lock);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_FALSE(second_held) << "both held the lock at once";
  UnlockFile(first);
  second.join();
  EXPECT_TRUE(second_held);
  bool is_directory = true;
  EXPECT_TRUE(FindFileEntry(path.c_str(), &is_directory)) << "the file stays";
  EXPECT_EQ(nullptr, LockFileExclusively(missing.c_str()));
  EXPECT_FALSE(LastErrorText().empty());
}

}  // namespace platform
}  // namespace mervane

#endif  // MERVANE_PLATFORM_PLATFORM_TEST_HELPERS_H_
