// The name computed from a request, and the mapping configuration as the
// administration program builds it.

#include "config/config_schema.h"

#include <string>

#include "config/config_section.h"
#include "config/test_util.h"
#include "gtest/gtest.h"

namespace mervane {
namespace {

TEST(ConfigSchemaTest, HostKeyAddsEveryPortButEighty) {
  const char* cases[][3] = {
      {"beta", "80", "beta"},
      {"beta", "8080", "beta|8080"},
      {"beta", "080", "beta"},
      {"beta", "", "beta|"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c[2], schema::HostKey(c[0], c[1])) << c[1];
  }
  EXPECT_EQ("beta|", schema::HostKey("beta", nullptr));
}

constexpr char kTwoHosts[] =
    "{ 10.0.0.5:\n"
    "    { VIRTUAL_HOSTS:\n"
    "        { alpha:\n"
    "            (string)UserDir=alpha\n"
    "            (string)MapScheme=SchemeA\n"
    "            { FolderExceptions:\n"
    "                (string)docs=d:\\shared\\docs\n"
    "            } FolderExceptions;\n"
    "        } alpha;\n"
    "        { beta:\n"
    "            (string)UserDir=beta\n"
    "            (string)MapScheme=SchemeB\n"
    "            { FolderExceptions:\n"
    "            } FolderExceptions;\n"
    "        } beta;\n"
    "    } VIRTUAL_HOSTS;\n"
    "    { MAIN:\n"
    "        { COMMON_PATHS:\n"
    "            { SchemeA:\n"
    "                (string)cgi-bin=d:\\www\\cgi-bin\n"
    "            } SchemeA;\n"
    "            { SchemeB:\n"
    "            } SchemeB;\n"
    "        } COMMON_PATHS;\n"
    "        (int)Disable=0\n"
    "        (string)Log=c:\\logs\\filter.log\n"
    "        (string)SchemeBRootDir=users\n"
    "        (string)WebRoot=d:\\www\n"
    "    } MAIN;\n"
    "} 10.0.0.5;\n";

// The steps of the administration program, in its order of creation.
void AddHost(ConfigSection* ip, const char* name, const char* scheme) {
  ConfigSection* host = ip->GetSection(schema::kVirtualHosts)->AddSection(name);
  host->AddArray(schema::kUserDir)->SetFirstString(name);
  host->AddArray(schema::kMapScheme)->SetFirstString(scheme);
  host->AddSection(schema::kFolderExceptions);
}

void BuildTwoHosts(ConfigSection* root) {
  ConfigSection* ip = root->AddSection("10.0.0.5");
  ip->AddSection(schema::kVirtualHosts);
  ConfigSection* main = ip->AddSection(schema::kMain);
  ConfigSection* paths = main->AddSection(schema::kCommonPaths);
  paths->AddSection(schema::kSchemeA);
  paths->AddSection(schema::kSchemeB);
  main->AddArray(schema::kDisable)->SetFirstInt(0);
  main->AddArray(schema::kLog)->SetFirstString("c:\\logs\\filter.log");
  main->AddArray(schema::kSchemeBRootDir)->SetFirstString("users");
  main->AddArray(schema::kWebRoot)->SetFirstString("d:\\www");
  AddHost(ip, "alpha", schema::kSchemeA);
  AddHost(ip, "beta", schema::kSchemeB);
  ip->GetSection(schema::kVirtualHosts)
      ->GetSection("alpha")
      ->GetSection(schema::kFolderExceptions)
      ->AddArray("docs")
      ->SetFirstString("d:\\shared\\docs");
  paths->GetSection(schema::kSchemeA)
      ->AddArray("cgi-bin")
      ->SetFirstString("d:\\www\\cgi-bin");
}

TEST(ConfigSchemaTest, TwoHostsRoundTripByteForByte) {
  EXPECT_EQ(kTwoHosts, SavedBytes(BuildTwoHosts));
  EXPECT_EQ(kTwoHosts, LoadedAndSaved(kTwoHosts));
}

}  // namespace
}  // namespace mervane
