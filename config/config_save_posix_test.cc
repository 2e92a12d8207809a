// A save whose writes fail. Tests run as root, which ignores permissions, so
// a file size limit makes the writes fail instead.

#include <signal.h>
#include <sys/resource.h>

#include <string>

#include "config/config_section.h"
#include "config/test_util.h"
#include "gtest/gtest.h"

namespace mervane {
namespace {

// Regression: write errors after the open were not reported, and the file
// was left half written.
TEST(ConfigSavePosixTest, WritesThatFailLeaveTheOldFile) {
  TestFolder folder;
  std::string path = folder.File("mervane.cfg");
  WriteWholeFile(path, "{ old:\n} old;\n");
  ConfigFile file(path.c_str());
  for (int i = 0; i < 1000; ++i) {
    file.AddString("a", "a text long enough to pass the limit", nullptr);
  }
  rlimit old_limit;
  ASSERT_EQ(0, getrlimit(RLIMIT_FSIZE, &old_limit));
  rlimit small = old_limit;
  small.rlim_cur = 4096;
  auto old_handler = signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &small));
  int saved = file.Save();
  setrlimit(RLIMIT_FSIZE, &old_limit);
  signal(SIGXFSZ, old_handler);
  EXPECT_EQ(0, saved);
  EXPECT_TRUE(HoldsOnly(folder, path, "{ old:\n} old;\n"));
}

}  // namespace
}  // namespace mervane
