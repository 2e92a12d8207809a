// The store on POSIX: saves whose writes fail (through a file size limit, as
// root ignores permissions), that are killed or that go through symbolic
// links, and the registry's path.

#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>

#include <filesystem>
#include <string>

#include "config/config_file_lock.h"
#include "config/config_schema.h"
#include "config/registry_key.h"
#include "config/test_killed_saves.h"
#include "config/test_util.h"
#include "gtest/gtest.h"

namespace mervane {
namespace {

// Regression: write errors after the open were not reported, and the file
// was left half written.
TEST(ConfigPosixTest, WritesThatFailLeaveTheOldFile) {
  TestFolder folder;
  std::string path = folder.File("mervane.cfg");
  WriteWholeFile(path, "{ old:\n} old;\n");
  ConfigFile file(path.c_str());
  for (int i = 0; i < 1000; ++i) file.AddString("a", "a long text", nullptr);
  rlimit limit;
  ASSERT_EQ(0, getrlimit(RLIMIT_FSIZE, &limit));
  const rlimit old_limit = limit;
  limit.rlim_cur = 4096;
  signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails instead
  ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &limit));
  EXPECT_EQ(0, file.Save());
  setrlimit(RLIMIT_FSIZE, &old_limit);
  EXPECT_EQ("{ old:\n} old;\n", ReadWholeFile(path));
  EXPECT_EQ(
      1, std::distance(std::filesystem::directory_iterator(folder.Path()), {}));
}

// Regression: every killed save left its own temporary file behind, and no
// later save removed them.
TEST(ConfigPosixTest, KilledSavesNeverTearAndLeaveAtMostOneFileBeside) {
  TestFolder folder;
  KilledSaveFigures figures = KillSavesAtRandom(folder.Path(), 150, 3000);
  EXPECT_EQ(0, figures.torn);
  EXPECT_EQ(0, figures.lost);
  EXPECT_GE(1u, figures.most_left);
}

// Regression: a save through a symbolic link replaced the link with a file
// of its own, and servers whose paths link to one shared file drifted apart.
TEST(ConfigPosixTest, SavesThroughLinksReplaceTheFileAtTheirEnd) {
  namespace fs = std::filesystem;
  TestFolder folder;
  const fs::path shared = folder.Path() / "shared";
  const fs::path server = folder.Path() / "server";
  fs::create_directories(shared);
  fs::create_directories(server);
  const std::string target = (shared / "mervane.cfg").string();
  const struct {
    const char* link;
    std::string points_to;
  } kLinks[] = {
      {"relative.cfg", "../shared/mervane.cfg"},
      {"chain.cfg", "relative.cfg"},  // from the link's own folder
      {"absolute.cfg", target},
  };
  for (const auto& c : kLinks) {
    fs::create_symlink(c.points_to, server / c.link);
  }
  for (const auto& c : kLinks) {
    const std::string link = (server / c.link).string();
    ConfigFile file(link.c_str());
    file.AddSection(c.link);
    ConfigFileLock lock(link.c_str());
    std::string problem;
    EXPECT_TRUE(lock.Held()) << lock.Failure();
    EXPECT_EQ(1, file.Save(&problem)) << c.link << ": " << problem;
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(link))) << c.link;
    EXPECT_EQ("{ " + std::string(c.link) + ":\n} " + c.link + ";\n",
              ReadWholeFile(target));
  }
  EXPECT_TRUE(fs::is_regular_file(shared / "mervane.cfg.lock"));
  EXPECT_EQ(3, std::distance(fs::directory_iterator(server), {}))
      << "the temporary and the lock file belong beside the file";

  fs::create_symlink("loop.cfg", server / "loop.cfg");
  const std::string loop = (server / "loop.cfg").string();
  EXPECT_EQ(0, ConfigFile(loop.c_str()).Save());
  EXPECT_FALSE(ConfigFileLock(loop.c_str()).Held());
  EXPECT_TRUE(fs::is_symlink(fs::symlink_status(loop)));
}

TEST(ConfigPosixTest, ConfigurationPathRefusesWhatNoPathBufferHolds) {
  TestFolder folder;
  setenv("MERVANE_REGISTRY", folder.Path().c_str(), 1);  // this process only
  EXPECT_EQ(nullptr, ReadConfigurationPath()) << "no key";
  std::filesystem::path key = folder.Path() / "HKEY_LOCAL_MACHINE" /
                              "Software" / "Halvost soft" / "Mervane";
  std::filesystem::create_directories(key);
  // Stored without a terminator, the value still reads as a text.
  for (size_t length : {16, 259, 260, 0}) {
    WriteWholeFile((key / schema::kRegistryValueName).string(),
                   std::string(length, 'p'));
    auto read = ReadConfigurationPath();
    EXPECT_EQ(length > 0 && length < 260 ? std::string(length, 'p') : "(none)",
              read ? read.get() : "(none)")
        << length;
  }
}

}  // namespace
}  // namespace mervane
