// The common mapping paths action, run through the real mervanecfg.

#include "admin/test_installation.h"
#include "gtest/gtest.h"

namespace mervane {
namespace {

constexpr char kSchemeA[] =
    "            { SchemeA:\n"
    "                (string)cgi-bin=d:\\www\\cgi-bin\n"
    "            } SchemeA;\n";
constexpr char kSchemeBEnd[] =
    "                (string)icons=d:\\www\\icons\n"
    "            } SchemeB;\n";
constexpr char kSixSchemeA[] =
    "            { SchemeA:\n            } SchemeA;\n"
    "            { SchemeB:\n            } SchemeB;\n"
    "        } COMMON_PATHS;\n    } MAIN;\n} 10.0.0.6;";

TEST(CommonPathsTest, DoCommonPaths) {
  const char* kB = "Action=DoCommonPaths&Scheme=B";
  const char* kA = "Action=DoCommonPaths&Scheme=A";
  ExpectActionCases({
      {kB, "IP=10.0.0.5&URLsub=docs&mapPath=e%3A%5Cdocs&Add=Add",
       "New common path added!", true, kSchemeBEnd,
       "                (string)icons=d:\\www\\icons\n"
       "                (string)docs=e:\\docs\n"
       "            } SchemeB;\n"},
      // Only an upper-case B selects SchemeB.
      {"Action=DoCommonPaths&Scheme=b",
       "IP=10.0.0.5&URLsub=icons&mapPath=x&Add=Add", "New common path added!",
       true, kSchemeA,
       "            { SchemeA:\n"
       "                (string)cgi-bin=d:\\www\\cgi-bin\n"
       "                (string)icons=x\n"
       "            } SchemeA;\n"},
      {"Action=DoCommonPaths", "IP=10.0.0.6&URLsub=%2Fa+b&mapPath=x&Add=Add",
       "New common path added!", true, kSixSchemeA,
       "            { SchemeA:\n                (string)/a b=x\n"
       "            } SchemeA;\n"
       "            { SchemeB:\n            } SchemeB;\n"
       "        } COMMON_PATHS;\n    } MAIN;\n} 10.0.0.6;"},
      {kB, "IP=10.0.0.5&URLsub=ICONS&mapPath=x&Add=Add",
       "Common path to that URL subdir already exists!", false},
      {kA, "IP=10.0.0.5&URLsub=x&Add=Add",
       "Empty URL subdir or physical path are not accepted!", false},
      // Add wins over Remove.
      {kA, "IP=10.0.0.5&URLsub=cgi-bin&mapPath=x&Add=Add&Remove=Remove",
       "Common path to that URL subdir already exists!", false},
      {kA, "IP=10.0.0.5&URLsub=CGI-BIN&Remove=Remove", "Common path removed!",
       true, "                (string)cgi-bin=d:\\www\\cgi-bin\n", ""},
      {kA, "IP=10.0.0.5&URLsub=icons&Remove=Remove",
       "Invalid name of URL subdir! Can't remove common path mapping.", false},
      {kB, "IP=10.0.0.5&URLsub=icons&mapPath=e%3A%5Ci&Edit=Edit",
       "Common path mapping changed!", true, "icons=d:\\www\\icons",
       "icons=e:\\i"},
      {kA, "IP=10.0.0.5&URLsub=icons&mapPath=&Edit=Edit",
       "Invalid name of URL subdir! Can't change common path mapping.", false},
      {kA, "IP=10.0.0.5&URLsub=cgi-bin&mapPath=&Edit=Edit",
       "Empty physical path is not accepted!", false},
      {kA, "IP=10.0.0.5&URLsub=cgi-bin&mapPath=x", "", true},
      // Requests the pages never send.
      {kA, "IP=10.0.0.9&URLsub=x&mapPath=x&Add=Add",
       "That IP is not registered!", false},
      {kA, "IP=10.0.0.9&URLsub=x&Remove=Remove",
       "Invalid name of URL subdir! Can't remove common path mapping.", false},
  });
}

TEST(CommonPathsTest, MissingSchemeSectionIsRefused) {
  ExpectActionCases(
      {{"Action=DoCommonPaths&Scheme=B",
        "IP=10.0.0.9&URLsub=x&mapPath=y&Add=Add",
        "The CFG file lacks a section of that IP! Nothing was changed.",
        false}},
      "{ 10.0.0.9:\n    { MAIN:\n        { COMMON_PATHS:\n"
      "            (string)SchemeB=x\n        } COMMON_PATHS;\n    } "
      "MAIN;\n} 10.0.0.9;\n");
}

}  // namespace
}  // namespace mervane
