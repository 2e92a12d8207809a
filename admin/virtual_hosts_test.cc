// The virtual host actions, run through the real mervanecfg.

#include <string>

#include "admin/test_installation.h"
#include "gtest/gtest.h"

namespace mervane {
namespace {

constexpr char kAlphaBlock[] =
    "        { alpha:\n"
    "            (string)UserDir=alpha\n"
    "            (string)MapScheme=SchemeA\n"
    "            { FolderExceptions:\n"
    "                (string)docs=d:\\shared\\docs\n"
    "                (string)img=d:\\shared\\images\n"
    "            } FolderExceptions;\n"
    "        } alpha;\n";
constexpr char kAlpha[] =
    "        { alpha:\n"
    "            (string)UserDir=alpha\n"
    "            (string)MapScheme=SchemeA\n";
constexpr char kBeta[] =
    "        { beta|8080:\n"
    "            (string)UserDir=beta\n"
    "            (string)MapScheme=SchemeB\n"
    "            { FolderExceptions:\n"
    "            } FolderExceptions;\n"
    "        } beta|8080;\n";
constexpr char kEmptyName[] = "Empty name for vitrual host is not accepted!";
constexpr char kSameName[] = "Virtual host with the same name already exists!";
constexpr char kUnstorableHost[] =
    "A virtual host name with a line break, ':' or ';', a leading blank or "
    "more than 255 characters is not accepted!";

TEST(VirtualHostsTest, DoEditVHost) {
  const char* kQuery = "Action=DoEditVHost";
  ExpectActionCases({
      {kQuery,
       "IP=10.0.0.6&VHost=gamma%7C8080&NewVHost=gamma%7C8080&UserDir=g&"
       "Scheme=SchemeB&B1=Submit",
       "Virtual host options saved!", true,
       "    { VIRTUAL_HOSTS:\n    } VIRTUAL_HOSTS;",
       "    { VIRTUAL_HOSTS:\n"
       "        { gamma|8080:\n"
       "            (string)UserDir=g\n"
       "            (string)MapScheme=SchemeB\n"
       "            { FolderExceptions:\n"
       "            } FolderExceptions;\n"
       "        } gamma|8080;\n"
       "    } VIRTUAL_HOSTS;"},
      // An existing host is updated; its exceptions stay.
      {kQuery, "IP=10.0.0.5&VHost=alpha&NewVHost=alpha&UserDir=a2",
       "Virtual host options saved!", true, kAlpha,
       "        { alpha:\n"
       "            (string)UserDir=a2\n"
       "            (string)MapScheme=\n"},
      // A rename keeps the children and the place.
      {kQuery,
       "IP=10.0.0.5&VHost=alpha&NewVHost=delta&UserDir=alpha&Scheme=SchemeA",
       "Virtual host options saved!", true, kAlphaBlock,
       Replaced(Replaced(kAlphaBlock, "{ alpha:", "{ delta:"), "} alpha;",
                "} delta;")},
      {kQuery, "IP=10.0.0.5&VHost=alpha&NewVHost=ALPHA&UserDir=a", kSameName,
       false},
      {kQuery, "IP=10.0.0.5&VHost=alpha&NewVHost=BETA%7C8080&UserDir=a",
       kSameName, false},
      {kQuery, "IP=10.0.0.5&VHost=alpha&NewVHost=&UserDir=a", kEmptyName,
       false},
      {kQuery, "IP=10.0.0.5", kEmptyName, false},
      {kQuery, "IP=10.0.0.5&VHost=alpha&NewVHost=alpha",
       "You should specify user directory!", false},
      {kQuery, "IP=10.0.0.9&VHost=a&UserDir=a", "That IP is not registered!",
       false},
      {kQuery, "IP=10.0.0.5&VHost=+www&UserDir=a", kUnstorableHost, false},
      {kQuery, "IP=10.0.0.5&VHost=alpha&NewVHost=a%0Db&UserDir=a",
       kUnstorableHost, false},
  });
}

TEST(VirtualHostsTest, DoEditRemoveMapping) {
  const char* kQuery = "Action=DoEditRemoveMapping&IP=10.0.0.5";
  ExpectActionCases({
      {kQuery, "VHost=BETA%7C8080&Remove=Remove",
       "Virtual host successfuly removed!", true, kBeta, ""},
      {kQuery, "VHost=zeta&Remove=Remove", "Virtual host successfuly removed!",
       true},
      {kQuery, "Remove=Remove", "", false},
      {"Action=DoEditRemoveMapping&IP=10.0.0.9", "VHost=a&Remove=Remove",
       "That IP is not registered!", false},
  });
}

// The page chooses a radio button only for a scheme written exactly as the
// buttons carry it; a letter-case match must not choose one.
TEST(VirtualHostsTest, EditVHostChoosesOnlyAnExactScheme) {
  struct SchemeCase {
    const char* stored;  // the host's "MapScheme" line, if any
    const char* a;       // what follows the A button's line
    const char* b;       // what follows the B button's line
  };
  const SchemeCase kCases[] = {
      {"", "\tchecked>A", "\t >B"},
      {"(string)MapScheme=SchemeB\n", "\t>A", "\t checked>B"},
      {"(string)MapScheme=schemea\n", "\t>A", "\t >B"},
      {"(string)MapScheme=SCHEMEB\n", "\t>A", "\t >B"},
  };
  for (const SchemeCase& scheme : kCases) {
    TestInstallation installation;
    installation.SetRegistryPath(kConfigPath);
    installation.WriteConfig(
        std::string("{ 10.0.0.9:\n{ VIRTUAL_HOSTS:\n{ h:\n") + scheme.stored +
        "} h;\n} VIRTUAL_HOSTS;\n} 10.0.0.9;\n");
    std::string page =
        installation.Content("Action=EditVHost&IP=10.0.0.9", "VHost=h");
    EXPECT_NE(std::string::npos,
              page.find(std::string("value=\"SchemeA\"\n") + scheme.a + "&"))
        << scheme.stored;
    EXPECT_NE(std::string::npos,
              page.find(std::string("value=\"SchemeB\"\n") + scheme.b + "\n"))
        << scheme.stored;
  }
}

}  // namespace
}  // namespace mervane
