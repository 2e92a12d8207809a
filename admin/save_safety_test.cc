// Saves that meet another administrator, a failure, or a file that cannot be
// loaded, through the real mervanecfg.

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "admin/test_installation.h"
#include "gtest/gtest.h"

namespace mervane {
namespace {

constexpr char kGeneral[] = "IP=10.0.0.5&WebRoot=e%3A";

size_t Occurrences(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos;
       at = text.find(part, at + 1)) {
    ++count;
  }
  return count;
}

// A lost update: each request loaded the file before the other saved.
TEST(SaveSafetyTest, TwoAdministratorsAtOnceKeepEveryChange) {
  TestInstallation installation;
  installation.InstallSmallConfiguration();
  pid_t writers[2];
  for (int writer = 0; writer < 2; ++writer) {
    writers[writer] = fork();
    if (writers[writer] != 0) continue;
    bool all_saved = true;
    for (int host = 0; host < 50; ++host) {
      std::string name =
          "w" + std::to_string(writer) + "h" + std::to_string(host);
      all_saved &=
          installation.Content(
              "Action=DoEditVHost",
              "IP=10.0.0.6&VHost=" + name + "&NewVHost=" + name +
                  "&UserDir=u&Scheme=SchemeA") == "Virtual host options saved!";
    }
    _exit(all_saved ? 0 : 1);
  }
  for (pid_t writer : writers) {
    int status = 0;
    waitpid(writer, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  EXPECT_EQ(100u, Occurrences(installation.ReadConfig(), "(string)UserDir=u"));
}

TEST(SaveSafetyTest, AFailedSaveSaysWhyAndChangesNothing) {
  TestInstallation installation;
  installation.InstallSmallConfiguration();
  // Where the save writes its new file first.
  std::filesystem::create_directory(installation.Drive() + "/mervane.cfg.tmp");
  EXPECT_EQ("Error saving CFG file. d:\\mervane.cfg.tmp: Is a directory.",
            installation.Content("Action=DoGeneral", kGeneral));
  EXPECT_TRUE(SameText(Golden("small.cfg"), installation.ReadConfig()));
}

TEST(SaveSafetyTest, AFileThatCannotBeLoadedIsNeverOverwritten) {
  std::string nested;
  for (int depth = 0; depth < 100; ++depth) nested += "{ s:\n";
  TestInstallation installation;
  installation.SetRegistryPath(kConfigPath);
  installation.WriteConfig(nested);
  EXPECT_TRUE(
      SameText(Golden("error_2.html"), installation.Content("Action=ListIPs")));
  EXPECT_TRUE(SameText(Golden("error_2.html"),
                       installation.Content("Action=DoGeneral", kGeneral)));
  EXPECT_EQ(nested, installation.ReadConfig());
}

}  // namespace
}  // namespace mervane
