// What an attacker would send: markup and quotes in every value a page
// shows, URL syntax in values placed into links, and texts that would break
// the configuration file. Run through the real mervanecfg.

#include <string>

#include "admin/test_installation.h"
#include "gtest/gtest.h"

namespace mervane {
namespace {

constexpr char kScript[] = "<script>alert(1)</script>";
constexpr char kScriptEncoded[] = "%3Cscript%3Ealert%281%29%3C%2Fscript%3E";

struct PageCase {
  std::string query;
  std::string body;
};

// No value from the request or the file reaches a page unescaped.
TEST(HostileInputTest, ValuesOnPagesAreEscaped) {
  TestInstallation installation;
  installation.InstallSmallConfiguration();
  std::string quote_payload = std::string("%22+onclick%3D%22") + kScriptEncoded;
  const PageCase kPages[] = {
      {"Action=IPList&PostAction=General%22%3E" + std::string(kScriptEncoded),
       ""},
      {"Action=General", "IPList=" + quote_payload},
      {"Action=CommonPaths", "IPList=" + quote_payload},
      {"Action=NewMapping", "IPList=" + quote_payload},
      {"Action=EditVHost&IP=" + quote_payload, "VHost=" + quote_payload},
      {"Action=Mappings", "IPList=" + quote_payload},
      {"Action=FolderExceptions", "IPList=" + quote_payload},
      {"Action=FolderExceptions",
       "IPList=" + quote_payload + "&VHost=" + quote_payload},
      {"Action=DoEditRemoveMapping&IP=" + quote_payload,
       "VHost=" + quote_payload + "&Edit=Edit"},
  };
  for (const PageCase& page : kPages) {
    std::string content = installation.Content(page.query, page.body);
    EXPECT_EQ(std::string::npos, content.find("<script")) << page.query;
    EXPECT_EQ(std::string::npos, content.find("\" onclick")) << page.query;
  }
}

TEST(HostileInputTest, StoredValuesAreEscapedToo) {
  TestInstallation installation;
  installation.InstallSmallConfiguration();
  std::string payload = std::string("%22%3E") + kScriptEncoded;
  installation.Content("Action=DoAddIP", "newIP=" + payload);
  installation.Content("Action=DoGeneral", "IP=10.0.0.5&LogFile=" + payload);
  installation.Content(
      "Action=DoEditVHost",
      "IP=10.0.0.6&VHost=" + payload + "&UserDir=" + payload + "&Scheme=x");
  installation.Content(
      "Action=DoCommonPaths",
      "IP=10.0.0.6&URLsub=" + payload + "&mapPath=" + payload + "&Add=Add");
  ASSERT_NE(std::string::npos, installation.ReadConfig().find(kScript));
  const PageCase kPages[] = {
      {"Action=ListIPs", ""},
      {"Action=IPList&PostAction=General", ""},
      {"Action=General", "IPList=10.0.0.5"},
      {"Action=CommonPaths", "IPList=10.0.0.6"},
      {"Action=Mappings", "IPList=10.0.0.6"},
      {"Action=EditVHost&IP=10.0.0.6", "VHost=" + payload},
  };
  for (const PageCase& page : kPages) {
    std::string content = installation.Content(page.query, page.body);
    EXPECT_EQ(std::string::npos, content.find("<script")) << page.query;
    EXPECT_NE(std::string::npos, content.find("&lt;script&gt;")) << page.query;
  }
}

TEST(HostileInputTest, RegistryPathIsEscaped) {
  TestInstallation installation;
  installation.SetRegistryPath(std::string("\"><script>x</script>"));
  std::string content = installation.Content("");
  EXPECT_EQ(std::string::npos, content.find("<script")) << content;
}

// An IP placed into a link is percent-encoded, so it cannot add parameters.
TEST(HostileInputTest, IpInLinksIsPercentEncoded) {
  TestInstallation installation;
  installation.InstallSmallConfiguration();
  std::string content =
      installation.Content("Action=NewMapping", "IPList=1%262%3D3%3Fx%23y");
  EXPECT_NE(std::string::npos,
            content.find("?Action=EditVHost&IP=1%262%3D3%3Fx%23y\""))
      << content;
}

TEST(HostileInputTest, TextsTheFileCannotCarryAreRefused) {
  const char* kText =
      "A path or name with a line break or more than 511 characters is not "
      "accepted!";
  const char* kUrlSubdir =
      "A URL subdir with a line break, '=', '[' or ']', a leading blank or "
      "more than 255 characters is not accepted!";
  const char* kCommon = "Action=DoCommonPaths&Scheme=A";
  const char* kExceptions = "Action=DoFolderExceptions";
  std::string long_path(512, 'p');
  ExpectActionCases({
      {kCommon, "IP=10.0.0.5&URLsub=a%3Db&mapPath=x&Add=Add", kUrlSubdir,
       false},
      {kCommon, "IP=10.0.0.5&URLsub=a%5B0%5D&mapPath=x&Add=Add", kUrlSubdir,
       false},
      {kCommon, "IP=10.0.0.5&URLsub=+a&mapPath=x&Add=Add", kUrlSubdir, false},
      {kCommon, "IP=10.0.0.5&URLsub=a&mapPath=x%0A%7D+SchemeA%3B&Add=Add",
       kText, false},
      {kCommon, "IP=10.0.0.5&URLsub=cgi-bin&mapPath=x%0D&Edit=Edit", kText,
       false},
      {kExceptions,
       "IP=10.0.0.5&VHost=alpha&URLsub=a&mapPath=" + long_path + "&Add=Add",
       kText, false},
      {kExceptions,
       "IP=10.0.0.5&VHost=alpha&URLsub=" + std::string(256, 'u') +
           "&mapPath=x&Add=Add",
       kUrlSubdir, false},
      {"Action=DoEditVHost",
       "IP=10.0.0.5&VHost=alpha&NewVHost=alpha&UserDir=a%0A%7D+alpha%3B", kText,
       false},
  });
}

}  // namespace
}  // namespace mervane
