// Adding and removing real site IPs, run through the real mervanecfg.

#include <string>

#include "admin/test_installation.h"
#include "gtest/gtest.h"

namespace mervane {
namespace {

constexpr char kSix[] =
    "{ 10.0.0.6:\n"
    "    { VIRTUAL_HOSTS:\n"
    "    } VIRTUAL_HOSTS;\n"
    "    { MAIN:\n"
    "        { COMMON_PATHS:\n"
    "            { SchemeA:\n"
    "            } SchemeA;\n"
    "            { SchemeB:\n"
    "            } SchemeB;\n"
    "        } COMMON_PATHS;\n"
    "    } MAIN;\n"
    "} 10.0.0.6;\n";
constexpr char kUnstorableIp[] =
    "An IP with a line break, ':' or ';', a leading blank or more than 255 "
    "characters is not accepted!";

constexpr char kInUse[] =
    "There are active bindings to that IP. Please remove them to complete "
    "the operation.";

std::string SkeletonOf(const std::string& ip) {
  return Replaced(Replaced(kSix, "10.0.0.6", ip), "10.0.0.6", ip);
}

TEST(RealSiteIpsTest, DoAddIp) {
  ExpectActionCases({
      {"Action=DoAddIP", "newIP=10.0.0.7&B1=Submit", "IP successfuly added!",
       true, kSix, std::string(kSix) + SkeletonOf("10.0.0.7")},
      // Any text is an IP, a host name too.
      {"Action=DoAddIP", "newIP=www.example.com", "IP successfuly added!", true,
       kSix, std::string(kSix) + SkeletonOf("www.example.com")},
      {"Action=DoAddIP", "newIP=", "You should specify a valid IP!", false},
      {"Action=DoAddIP", "B1=Submit", "You should specify a valid IP!", false},
      {"Action=DoAddIP", "newIP=10.0.0.6",
       "That IP has been already registered!", false},
      // A leading blank would be lost by the next load.
      {"Action=DoAddIP", "newIP=+10.0.0.6", kUnstorableIp, false},
      {"Action=DoAddIP", "newIP=10.0.0.8%3B", kUnstorableIp, false},
      {"Action=DoAddIP", "newIP=10.0.0.8%0A%7B+evil%3A", kUnstorableIp, false},
      {"Action=DoAddIP", "newIP=" + std::string(256, '1'), kUnstorableIp,
       false},
  });
}

TEST(RealSiteIpsTest, DoRemoveIp) {
  ExpectActionCases({
      {"Action=DoRemoveIP", "IPList=10.0.0.6&B1=Remove", "IP removed!", true,
       kSix, ""},
      {"Action=DoRemoveIP", "IPList=10.0.0.5", kInUse, false},
      {"Action=DoRemoveIP", "IPList=10.9.9.9", "IP removed!", true},
      {"Action=DoRemoveIP", "", "IP removed!", true},
  });
}

TEST(RealSiteIpsTest, NameHeldByTopLevelArrayIsRefused) {
  ExpectActionCases(
      {{"Action=DoAddIP", "newIP=10.0.0.9",
        "That name is used by another kind of entry in the CFG file! Nothing "
        "was changed.",
        false}},
      "(string)10.0.0.9=x\n");
}

TEST(RealSiteIpsTest, InUseMeansAnyHostNotOnlyTheFirstChild) {
  ExpectActionCases(
      {{"Action=DoRemoveIP", "IPList=10.0.0.9", kInUse, false}},
      "{ 10.0.0.9:\n    { VIRTUAL_HOSTS:\n        (string)note=x\n"
      "        { alpha:\n        } alpha;\n    } VIRTUAL_HOSTS;\n} "
      "10.0.0.9;\n");
}

}  // namespace
}  // namespace mervane
