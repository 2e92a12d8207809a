// Runs the real mervanecfg: the frame around every response, the pages of
// the small configuration against their expected files, the start-up
// failures and one administrator's journey through the menu.

#include "admin/admin_app.h"

#include "admin/test_installation.h"
#include "gtest/gtest.h"

namespace mervane {
namespace {

struct PageCase {
  const char* query;
  const char* body;
  const char* golden;
};

TEST(AdminAppTest, EveryPageOfTheSmallConfiguration) {
  const PageCase kPages[] = {
      {"", "", "registry_page.html"},
      {"Action=listips", "", "registry_page.html"},  // names are exact
      {"Action=IPList&PostAction=General", "", "ip_select.html"},
      {"Action=General", "IPList=10.0.0.5&B1=%3E%3E", "general.html"},
      {"Action=General", "IPList=10.0.0.6", "general_fresh.html"},
      {"Action=AddIP", "", "add_ip.html"},
      {"Action=ListIPs", "", "list_ips.html"},
      {"Action=CommonPaths", "IPList=10.0.0.5", "common_paths.html"},
      {"Action=CommonPaths", "IPList=10.0.0.6", "common_paths_empty.html"},
      {"Action=NewMapping", "IPList=10.0.0.5", "new_mapping.html"},
      {"Action=EditVHost&IP=10.0.0.5", "VHost=gamma&NewMapping=%3E%3E",
       "edit_vhost_new.html"},
      {"Action=DoEditRemoveMapping&IP=10.0.0.5", "VHost=beta%7C8080&Edit=Edit",
       "edit_vhost_existing.html"},
      {"Action=Mappings", "IPList=10.0.0.5", "mappings.html"},
      {"Action=Mappings", "IPList=10.0.0.6", "mappings_empty.html"},
      {"Action=FolderExceptions", "IPList=10.0.0.5", "folder_hosts.html"},
      {"Action=FolderExceptions", "IPList=10.0.0.6", "folder_hosts_empty.html"},
      {"Action=FolderExceptions", "IPList=10.0.0.5&VHost=alpha",
       "folder_exceptions.html"},
      {"Action=FolderExceptions", "IPList=10.0.0.5&VHost=BETA%7C8080",
       "folder_exceptions_empty.html"},
  };
  TestInstallation installation;
  installation.InstallSmallConfiguration();
  for (const PageCase& page : kPages) {
    std::string expected = Golden(page.golden);
    // Folder exceptions show the host as it was asked for.
    if (std::string(page.body).find("BETA") != std::string::npos) {
      expected = Replaced(Replaced(expected, "beta|8080", "BETA|8080"),
                          "beta|8080", "BETA|8080");
    }
    EXPECT_TRUE(SameText(expected, installation.Content(page.query, page.body)))
        << page.query << " with body " << page.body;
  }
  // Pages change nothing.
  EXPECT_TRUE(SameText(Golden("small.cfg"), installation.ReadConfig()));
}

TEST(AdminAppTest, WithoutRegistryKeyOnlyTheRegistryPageWorks) {
  TestInstallation installation;
  EXPECT_TRUE(
      SameText(Golden("registry_page_empty.html"), installation.Content("")));
  EXPECT_TRUE(
      SameText(Golden("error_1.html"), installation.Content("Action=ListIPs")));
  // An action shows the error and no message.
  EXPECT_TRUE(
      SameText(Golden("error_1.html"),
               installation.Content("Action=DoAddIP", "newIP=1.2.3.4")));
}

TEST(AdminAppTest, FileThatCannotBeCreatedIsErrorTwo) {
  TestInstallation installation;
  installation.SetRegistryPath("d:\\missing\\mervane.cfg");
  EXPECT_TRUE(
      SameText(Golden("error_2.html"), installation.Content("Action=General")));
  EXPECT_TRUE(SameText(Replaced(Golden("registry_page.html"), kConfigPath,
                                "d:\\missing\\mervane.cfg"),
                       installation.Content("")));
}

TEST(AdminAppTest, MissingFileIsCreatedEmpty) {
  TestInstallation installation;
  installation.SetRegistryPath(kConfigPath);
  EXPECT_TRUE(SameText(Golden("list_ips_empty.html"),
                       installation.Content("Action=ListIPs")));
  EXPECT_EQ("", installation.ReadConfig());
  EXPECT_TRUE(
      SameText(Golden("ip_select_empty.html"),
               installation.Content("Action=IPList&PostAction=General")));
}

// One administrator's session, from an empty file to a working host.
TEST(AdminAppTest, JourneyThroughTheMenu) {
  TestInstallation installation;
  installation.SetRegistryPath(kConfigPath);
  EXPECT_EQ("IP successfuly added!",
            installation.Content("Action=DoAddIP", "newIP=10.0.0.5&B1=Submit"));
  EXPECT_EQ("Virtual host options saved!",
            installation.Content(
                "Action=DoEditVHost",
                "IP=10.0.0.5&VHost=alpha&NewVHost=alpha&UserDir=alpha&"
                "Scheme=SchemeA&B1=Submit"));
  EXPECT_EQ("New mapping exception added!",
            installation.Content("Action=DoFolderExceptions",
                                 "IP=10.0.0.5&VHost=alpha&URLsub=docs&"
                                 "mapPath=d%3A%5Cshared%5Cdocs&Add=Add"));
  EXPECT_EQ("New common path added!",
            installation.Content("Action=DoCommonPaths&Scheme=A",
                                 "IP=10.0.0.5&URLsub=cgi-bin&"
                                 "mapPath=d%3A%5Cwww%5Ccgi-bin&Add=Add"));
  EXPECT_EQ("CFG file saved!",
            installation.Content(
                "Action=DoGeneral",
                "IP=10.0.0.5&LogFile=c%3A%5Clogs%5Cfilter.log&"
                "SchemeBRootDir=users&WebRoot=d%3A%5Cwww&B1=Submit"));
  EXPECT_TRUE(SameText(Golden("journey.cfg"), installation.ReadConfig()));
  // The filter picks the saved file up and serves the new host from its
  // directory.
  std::string mapped = installation.Map({"10.0.0.5", "80", "alpha", "/a/b.htm",
                                         "c:\\inetpub\\wwwroot\\a\\b.htm"});
  EXPECT_NE(std::string::npos, mapped.find("HANDLED"));
  EXPECT_NE(std::string::npos, mapped.find("d:\\www\\alpha\\a\\b.htm"))
      << mapped;
}

}  // namespace
}  // namespace mervane
