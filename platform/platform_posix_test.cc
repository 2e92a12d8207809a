#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "gtest/gtest.h"
#include "platform/platform.h"
#include "platform/platform_test_helpers.h"
#include "platform/test_folder_sync.h"
#include "platform/time_format_posix.h"

namespace mervane {
namespace platform {

namespace {

namespace fs = std::filesystem;

constexpr char kKey[] = "Software\\Halvost soft\\Mervane";
constexpr char kValue[] = "Configuration File";

// A fresh folder for each test, with the layer's variables pointing into it.
// The drives are read once per process: one folder, emptied after each test.
class PosixPlatformTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/mervane-platform-XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(pattern));
    dir_ = pattern;
    setenv("MERVANE_REGISTRY", (dir_ / "registry").c_str(), 1);
    fs::create_directories(Drives());
  }
  void TearDown() override {
    fs::remove_all(dir_);
    fs::remove_all(Drives());
  }
  static const fs::path& Drives() {
    static const fs::path drives = [] {
      const fs::path folder =
          fs::temp_directory_path() /
          ("mervane-platform-drives-" + std::to_string(getpid()));
      setenv("MERVANE_DRIVES", folder.c_str(), 1);
      return folder;
    }();
    return drives;
  }
  void Write(const fs::path& path, const std::string& data) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << data;
  }

  fs::path dir_;
};

// A key is a folder, a value a file of its data; creating reuses the
// folders whatever their letter case, and replaces a value whole.
TEST_F(PosixPlatformTest, RegistryKeysAreFoldersAndValuesFiles) {
  ExpectRegistryContracts(RegistryRoot::kLocalMachine, kKey,
                          "SOFTWARE\\halvost SOFT\\mervane");
  const fs::path folder =
      dir_ / "registry/HKEY_LOCAL_MACHINE/Software/Halvost soft/Mervane";
  EXPECT_EQ(std::string("c:\\m.cfg", 9), ReadWholeFile(folder / kValue));
  EXPECT_EQ(1, std::distance(fs::directory_iterator(folder),
                             fs::directory_iterator()))
      << "a value deleted, or a temporary file left behind";
  EXPECT_EQ(1, std::distance(
                   fs::directory_iterator(dir_ / "registry/HKEY_LOCAL_MACHINE"),
                   fs::directory_iterator()));
  RegistryHandle key = OpenRegistryKey(RegistryRoot::kLocalMachine, kKey, true);
  EXPECT_FALSE(WriteRegistryString(key, "a/b", "x")) << "not a file name";
  // A value written by hand, without the zero byte, reads as it is stored.
  Write(folder / kValue, "/srv/mervane.cfg\n");
  EXPECT_EQ("/srv/mervane.cfg\n", ReadValueData(key, kValue));
  CloseRegistryKey(key);
}

TEST_F(PosixPlatformTest, NativePathTranslatesDrivesAndBackslashes) {
  const struct {
    const char* path;
    const char* expected;  // "@" stands for $MERVANE_DRIVES
  } cases[] = {
      {"C:\\www\\site\\index.htm", "@/c/www/site/index.htm"},
      {"Z:", "@/z"},
      {"c:relative\\x", "@/c/relative/x"},
      {"\\\\server\\share", "//server/share"},
      {"/srv/www/a.cfg", "/srv/www/a.cfg"},
      {"1:\\x", "1:/x"},
      {"", ""},
  };
  const std::string drives = Drives().string();
  for (const auto& c : cases) {
    std::string expected = c.expected;
    if (expected[0] == '@') expected = drives + expected.substr(1);
    EXPECT_EQ(expected, NativePath(c.path)) << c.path;
  }
}

// Regression: the variable was read for every path, racing modules that
// change the environment at run time. A process of its own, as the first
// path read it.
TEST(NativePathTest, DrivesAreReadOnceAndDroppedWhenUnset) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        unsetenv("MERVANE_DRIVES");
        const bool dropped = NativePath("C:\\www\\site") == "/www/site";
        setenv("MERVANE_DRIVES", "/drives", 1);
        std::exit(dropped && NativePath("C:\\www") == "/www" ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

// Regression: a save within one tick of the file clock that got back the
// inode of the file before it (ext4 reuses a freed inode at once), at its
// size, carried that file's whole stamp and was never loaded. Each save is
// dated after the file it replaces, whatever the clock says: here the first
// file is dated a day ahead of it, as if the clock had not moved since.
TEST_F(PosixPlatformTest, EachSaveIsStampedAfterTheFileItReplaces) {
  const fs::path file = dir_ / "mervane.cfg";
  Write(file, "v0");
  const struct timespec ahead[2] = {{0, UTIME_OMIT},
                                    {std::time(nullptr) + 86400, 0}};
  ASSERT_EQ(0, utimensat(AT_FDCWD, file.c_str(), ahead, 0));
  ExpectSavesDatedAfter(file.string());
  FileStamp saved;
  ASSERT_TRUE(QueryFileStamp(file.c_str(), &saved));

  // Regression: a file made readable again was loaded only at the next
  // save. The inode's change time moves in steps of the kernel's tick.
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ASSERT_EQ(0, chmod(file.c_str(), 0600));
  FileStamp permitted;
  ASSERT_TRUE(QueryFileStamp(file.c_str(), &permitted));
  EXPECT_NE(saved, permitted) << "a chmod";

  FileStamp untouched = permitted;
  EXPECT_FALSE(QueryFileStamp("C:\\missing.cfg", &untouched));
  EXPECT_FALSE(QueryFileStamp(dir_.c_str(), &untouched)) << "a folder";
  EXPECT_EQ(permitted, untouched);
}

// A file's content stays the version that was opened when a save renames
// another over it, mapped or, where forced as on network file systems,
// read whole.
TEST_F(PosixPlatformTest, FileContentKeepsTheOpenedVersion) {
  const fs::path file = Drives() / "c/mervane.cfg.index";
  for (const bool read_whole : {false, true}) {
    SCOPED_TRACE(read_whole ? "read whole" : "mapped");
    if (read_whole) setenv("MERVANE_READ_WHOLE_FILES", "1", 1);
    Write(file, "first");
    FileStamp opened;
    FileStamp expected;
    ASSERT_TRUE(QueryFileStamp("c:\\mervane.cfg.index", &expected));
    std::string problem;
    const FileContent content =
        OpenFileContent("c:\\mervane.cfg.index", &opened, &problem);
    unsetenv("MERVANE_READ_WHOLE_FILES");
    ASSERT_NE(nullptr, content) << problem;
    Write(dir_ / "next", "second!");
    fs::rename(dir_ / "next", file);
    EXPECT_EQ("first",
              std::string(FileContentData(content), FileContentSize(content)));
    EXPECT_EQ(!read_whole, FileContentIsMapped(content));
    EXPECT_EQ(expected, opened);
    CloseFileContent(content);
  }
  std::string problem;
  FileStamp untouched;
  EXPECT_EQ(nullptr, OpenFileContent("c:\\missing", &untouched, &problem));
  EXPECT_FALSE(problem.empty());
}

// The step before the rename sees the stamp that the target has once
// renamed, and a refusal leaves the target as it was.
TEST_F(PosixPlatformTest, StepBeforeRenameSeesTheTargetsStamp) {
  const std::string target = (Drives() / "c/mervane.cfg").string();
  Write(target, "old");
  for (const bool refuse : {false, true}) {
    SCOPED_TRACE(refuse ? "refused" : "accepted");
    FileStamp seen;
    ReplaceSteps steps;
    steps.before_rename = [&](const std::string&, const FileStamp& fresh,
                              std::string* problem) {
      seen = fresh;
      *problem = "refused";
      return !refuse;
    };
    std::string problem;
    const Replacement outcome = ReplaceFileDurably(
        (target + ".tmp").c_str(), target.c_str(), "new", &problem, steps);
    FileStamp renamed;
    ASSERT_TRUE(QueryFileStamp(target.c_str(), &renamed));
    if (refuse) {
      EXPECT_EQ(Replacement::kFailed, outcome);
      EXPECT_EQ("refused", problem);
      EXPECT_EQ(3u, renamed.size);
      EXPECT_FALSE(fs::exists(target + ".tmp"));
    } else {
      EXPECT_EQ(Replacement::kDurable, outcome) << problem;
      EXPECT_EQ(StampKeptByRename(seen), StampKeptByRename(renamed));
    }
    Write(target, "old");
  }
}

TEST_F(PosixPlatformTest, DurableReplaceTakesOverAStaleFile) {
  const fs::path target = Drives() / "c/mervane.cfg";
  Write(target, "old contents\n");
  ExpectDurableReplace("c:\\mervane.cfg", target, "\n");
}

// Regression: a save dropped the file's owner and group. (Only root can
// give the file an owner other than the saver.)
TEST_F(PosixPlatformTest, DurableReplaceKeepsOwnerGroupAndMode) {
  const fs::path target = dir_ / "mervane.cfg";
  Write(target, "old\n");
  if (geteuid() == 0) {
    ASSERT_EQ(0, chown(target.c_str(), 1234, 5678));
  }
  ASSERT_EQ(0, chmod(target.c_str(), 0604));
  struct stat before, after;
  ASSERT_EQ(0, stat(target.c_str(), &before));
  std::string problem;
  EXPECT_EQ(Replacement::kDurable,
            ReplaceFileDurably((dir_ / "x.tmp").c_str(), target.c_str(),
                               "new\n", &problem))
      << problem;
  ASSERT_EQ(0, stat(target.c_str(), &after));
  EXPECT_NE(before.st_ino, after.st_ino) << "replaced, not rewritten";
  EXPECT_EQ(before.st_uid, after.st_uid);
  EXPECT_EQ(before.st_gid, after.st_gid);
  EXPECT_EQ(0604u, after.st_mode & 07777);
}

// Regression: a folder that could not be synced after the rename turned a
// save that had replaced the file into a failure.
TEST_F(PosixPlatformTest, AFolderSyncAfterTheRenameNeverFailsTheSave) {
  const struct {
    int error;  // of the folder sync; 0 when it works
    Replacement expected;
    const char* problem;
  } cases[] = {
      {0, Replacement::kDurable, ""},
      {EINVAL, Replacement::kDurable, ""},  // cannot sync folders at all
      {EIO, Replacement::kNotFlushed, "c:\\: Input/output error"},
  };
  Write(Drives() / "c/mervane.cfg", "old\n");
  for (const auto& c : cases) {
    std::string problem;
    {
      test_folder_sync::Failure failure(c.error);
      EXPECT_EQ(c.expected,
                ReplaceFileDurably("c:\\mervane.cfg.tmp", "c:\\mervane.cfg",
                                   std::to_string(c.error), &problem))
          << c.error;
    }
    EXPECT_EQ(c.problem, problem) << c.error;
    EXPECT_EQ(std::to_string(c.error),
              ReadWholeFile(Drives() / "c/mervane.cfg"))
        << c.error;
  }
}

// Regression: a symbolic link planted at the temporary or the lock file's
// name made a save write, truncate or lock the file it points to.
TEST_F(PosixPlatformTest, SavesNeverOpenThroughASymbolicLink) {
  const fs::path target = dir_ / "mervane.cfg";
  const fs::path victim = dir_ / "victim";
  const auto plant = [&](const char* name) {
    fs::remove(dir_ / name);
    fs::create_symlink(victim, dir_ / name);
    return (dir_ / name).string();
  };
  for (const std::string expected : {"precious\n", "<none>"}) {
    fs::remove(victim);
    if (expected != "<none>") Write(victim, expected);
    auto victim_text = [&] {
      return fs::exists(victim) ? ReadWholeFile(victim) : "<none>";
    };
    Write(target, "old\n");
    std::string problem;
    EXPECT_EQ(Replacement::kDurable,
              ReplaceFileDurably(plant("mervane.cfg.tmp").c_str(),
                                 target.c_str(), "new\n", &problem))
        << problem;
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(target)));
    EXPECT_EQ("new\n", ReadWholeFile(target));
    EXPECT_EQ(expected, victim_text()) << "through the temporary file";
    FileLock lock = LockFileExclusively(plant("mervane.cfg.lock").c_str());
    EXPECT_EQ(nullptr, lock);
    UnlockFile(lock);
    EXPECT_EQ(expected, victim_text()) << "through the lock file";
  }
}

// Regression: a temporary file left by another user, which this one may not
// truncate, blocked every later save although the folder allowed it.
TEST_F(PosixPlatformTest, AStaleFileOfAnotherUserDoesNotBlockSaves) {
  const fs::path target = dir_ / "shared/mervane.cfg";
  Write(target, "old\n");
  Write(dir_ / "shared/mervane.cfg.tmp", "left by a killed save\n");
  // Read-only and, when the tests run as root, another user's: the saver
  // below runs as nobody then.
  chmod((dir_ / "shared/mervane.cfg.tmp").c_str(), 0444);
  chmod(dir_.c_str(), 0755);
  chmod((dir_ / "shared").c_str(), 0777);
  const pid_t saver = fork();
  if (saver == 0) {
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(2);
    std::string problem;
    _exit(ReplaceFileDurably((dir_ / "shared/mervane.cfg.tmp").c_str(),
                             target.c_str(), "new\n",
                             &problem) == Replacement::kDurable
              ? 0
              : 1);
  }
  int status = 0;
  ASSERT_EQ(saver, waitpid(saver, &status, 0));
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ("new\n", ReadWholeFile(target));
  EXPECT_FALSE(fs::exists(dir_ / "shared/mervane.cfg.tmp"));
}

TEST_F(PosixPlatformTest, ASecondLockWaitsForTheFirst) {
  ExpectLockExcludes(dir_ / "mervane.cfg.lock", dir_ / "none/x");
}

TEST_F(PosixPlatformTest, LogTimeStampIsTimeWithoutSecondsThenShortDate) {
  setenv("LC_ALL", "C", 1);
  char stamp[512];
  FormatLogTimeStamp(stamp, sizeof stamp);
  std::string shape = stamp;  // every digit as '9', whatever the time
  for (char& c : shape)
    c = std::isdigit(static_cast<unsigned char>(c)) ? '9' : c;
  EXPECT_EQ("99:99, 99/99/99", shape);
}

TEST(TimeFormatWithoutSecondsTest, DropsSecondsAndTheirSeparator) {
  const struct {
    const char* time_format;
    const char* am_pm_format;
    const char* expected;
  } cases[] = {
      {"%H:%M:%S", "%I:%M:%S %p", "%H:%M"},  // C, de_DE
      {"%r", "%I:%M:%S %p", "%I:%M %p"},     // en_US
      {"%r", "", "%I:%M %p"},                // no AM/PM format
      {"%Hh%Mm%Ss", "", "%Hh%Mm"},           // units stay with minutes
      {"%H.%M.%OS", "", "%H.%M"},
      {"100%% %H:%M:%S", "", "100%% %H:%M"},
      {"%r", "%r", "%I:%M %p"},    // no endless expansion
      {"%H:%M:%", "", "%H:%M:%"},  // a stray '%' is kept
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.expected,
              TimeFormatWithoutSeconds(c.time_format, c.am_pm_format))
        << c.time_format << " / " << c.am_pm_format;
  }
}

}  // namespace
}  // namespace platform
}  // namespace mervane
