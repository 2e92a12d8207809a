// Only POSTs from this program's own pages change anything, through the real
// mervanecfg.

#include <string>

#include "admin/test_installation.h"
#include "gtest/gtest.h"

namespace mervane {
namespace {

constexpr char kRefused[] =
    "Changes are accepted only from the forms of this program. Nothing was "
    "changed.";
// DoGeneral for an IP the file lacks answers without saving: it ran.
constexpr char kRan[] = "That IP is not registered!";
constexpr char kProbe[] = "IP=10.0.0.7&Disable=ON";
constexpr char kHost[] = "HTTP_HOST=admin.example";

TEST(ChangeRefusalTest, ActionsRunOnlyForSameOriginPosts) {
  std::vector<ActionCase> cases;
  const std::vector<std::pair<std::vector<std::string>, bool>> requests = {
      {{"REQUEST_METHOD=GET"}, false},
      {{"REQUEST_METHOD=HEAD"}, false},
      {{kHost, "HTTP_ORIGIN=http://evil.example"}, false},
      {{kHost, "HTTP_REFERER=http://evil.example/admin.exe"}, false},
      {{kHost, "HTTP_ORIGIN=http://admin.example:8080"}, false},
      {{kHost, "HTTP_ORIGIN=https://admin.example"}, false},
      {{kHost, "HTTP_ORIGIN=null"}, false},
      {{"HTTP_ORIGIN=http://admin.example"}, false},  // no Host to compare
      {{"HTTP_SEC_FETCH_SITE=cross-site"}, false},
      // Origin decides even when Referer names this site.
      {{kHost, "HTTP_ORIGIN=http://evil.example",
        "HTTP_REFERER=http://admin.example/"},
       false},
      {{}, true},  // a script or curl names no origin
      {{kHost, "HTTP_ORIGIN=http://ADMIN.example:80"}, true},
      {{kHost, "HTTPS=on", "HTTP_ORIGIN=https://admin.example:443"}, true},
      {{"HTTP_HOST=admin.example:8443", "HTTPS=on",
        "HTTP_REFERER=https://admin.example:8443/cgi-bin/x?Action=General"},
       true},
      {{kHost, "HTTP_ORIGIN=http://admin.example",
        "HTTP_SEC_FETCH_SITE=same-origin"},
       true},
  };
  for (const auto& [env, runs] : requests) {
    ActionCase action{"Action=DoGeneral", kProbe, runs ? kRan : kRefused,
                      false};
    action.env = env;
    cases.push_back(action);
  }
  ExpectActionCases(cases);
}

// An image on any page the administrator opens sends such a GET.
TEST(ChangeRefusalTest, GetLeavesTheRegistryAlone) {
  TestInstallation installation;
  installation.InstallSmallConfiguration();
  EXPECT_EQ(kRefused, installation.Content("Action=DoConfig", "",
                                           {"REQUEST_METHOD=GET"}));
  EXPECT_EQ(std::string(kConfigPath) + '\0', installation.RegistryValue());
}

TEST(ChangeRefusalTest, DoConfigRefusesWhatCannotNameTheFile) {
  const std::string refused =
      "A configuration file path that is empty, holds a line break or "
      "another control character, or has 260 characters or more is not "
      "accepted!";
  for (const std::string& body :
       {std::string("B1=Submit"), std::string("Config="),
        std::string("Config=d%3A%5Ca%0Ab.cfg"), std::string("Config=a%09b"),
        "Config=" + std::string(260, 'x')}) {
    TestInstallation installation;
    installation.InstallSmallConfiguration();
    EXPECT_EQ(refused, installation.Content("Action=DoConfig", body)) << body;
    EXPECT_EQ(std::string(kConfigPath) + '\0', installation.RegistryValue())
        << body;
  }
  TestInstallation installation;
  installation.InstallSmallConfiguration();
  EXPECT_EQ("Configuration saved successfuly!",
            installation.Content("Action=DoConfig",
                                 "Config=" + std::string(259, 'x')));
}

}  // namespace
}  // namespace mervane
