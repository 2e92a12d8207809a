// The general options action, run through the real mervanecfg.

#include "admin/test_installation.h"
#include "gtest/gtest.h"

namespace mervane {
namespace {

constexpr char kOptionsOfFive[] =
    "        (int)Disable=1\n"
    "        (string)Log=c:\\logs\\filter.log\n"
    "        (string)SchemeBRootDir=users\n"
    "        (string)WebRoot=d:\\www\n";
constexpr char kNameTaken[] =
    "That name is used by another kind of entry in the CFG file! Nothing "
    "was changed.";
constexpr char kEndOfSix[] =
    "        } COMMON_PATHS;\n    } MAIN;\n} 10.0.0.6;";

TEST(GeneralOptionsTest, DoGeneral) {
  ExpectActionCases({
      {"Action=DoGeneral",
       "IP=10.0.0.5&LogFile=e%3A%5Clog.txt&SchemeBRootDir=home&WebRoot=e%3A",
       "CFG file saved!", true, kOptionsOfFive,
       "        (int)Disable=0\n"
       "        (string)Log=e:\\log.txt\n"
       "        (string)SchemeBRootDir=home\n"
       "        (string)WebRoot=e:\n"},
      // Any letter case of ON checks the box; empty texts are stored.
      {"Action=DoGeneral", "IP=10.0.0.6&Disable=oN", "CFG file saved!", true,
       kEndOfSix,
       "        } COMMON_PATHS;\n"
       "        (int)Disable=1\n"
       "        (string)Log=\n"
       "        (string)SchemeBRootDir=\n"
       "        (string)WebRoot=\n"
       "    } MAIN;\n} 10.0.0.6;"},
      {"Action=DoGeneral", "IP=10.0.0.7&Disable=ON",
       "That IP is not registered!", false},
      {"Action=DoGeneral", "IP=10.0.0.5&WebRoot=d%3A%5Cwww%0D%0A",
       "A path or name with a line break or more than 511 characters is not "
       "accepted!",
       false},
  });
}

TEST(GeneralOptionsTest, SettingHeldBySectionRefusesTheWholeRequest) {
  ExpectActionCases(
      {{"Action=DoGeneral", "IP=10.0.0.5&LogFile=x", kNameTaken, false}},
      "{ 10.0.0.5:\n    { MAIN:\n        { Log:\n        } "
      "Log;\n    } MAIN;\n} 10.0.0.5;\n");
}

}  // namespace
}  // namespace mervane
