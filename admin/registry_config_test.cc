// The registry configuration action, run through the real mervanecfg.

#include <string>

#include "admin/test_installation.h"
#include "gtest/gtest.h"

namespace mervane {
namespace {

TEST(RegistryConfigTest, StoresThePathAsPosted) {
  TestInstallation installation;
  installation.InstallSmallConfiguration();
  EXPECT_EQ("Configuration saved successfuly!",
            installation.Content("Action=DoConfig",
                                 "Config=+d%3A%5Cother.cfg&B1=Submit"));
  EXPECT_EQ(std::string(" d:\\other.cfg") + '\0', installation.RegistryValue());
  // Stored, not trimmed and not tested; the file itself is left alone.
  EXPECT_TRUE(SameText(Golden("small.cfg"), installation.ReadConfig()));
}

TEST(RegistryConfigTest, CreatesTheKeyAndTakesEffectNextRequest) {
  TestInstallation installation;
  // Not loaded: the error text, the path is stored, no message is shown.
  EXPECT_TRUE(SameText(
      Golden("error_1.html"),
      installation.Content("Action=DoConfig", "Config=d%3A%5Cmervane.cfg")));
  EXPECT_EQ(std::string(kConfigPath) + '\0', installation.RegistryValue());
  EXPECT_TRUE(SameText(Golden("registry_page.html"), installation.Content("")));
  EXPECT_TRUE(SameText(Golden("list_ips_empty.html"),
                       installation.Content("Action=ListIPs")));
}

}  // namespace
}  // namespace mervane
