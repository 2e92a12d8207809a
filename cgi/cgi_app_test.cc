#include "cgi/cgi_app.h"

#include <memory>
#include <string>

#include "cgi/field_reader.h"
#include "cgi/recording_app.h"
#include "gtest/gtest.h"

namespace mervane {
namespace {

const CgiVariableSet kNoVariables;

// The variables of a query string.
std::unique_ptr<CgiVariableSet> QueryOf(const std::string& query) {
  auto set = std::make_unique<CgiVariableSet>();
  FieldReader reader(query, '&');
  StoreFields(&reader, FieldNames::kAsSent, set.get());
  return set;
}

TEST(CgiAppTest, DispatchRunsTheActionNamedExactly) {
  struct Case {
    std::string query;
    int id;
  } cases[] = {
      {"Action=ListIPs", 204},
      {"Action=DoConfig", 100},
      {"action=ListIPs", 204},  // the variable's name ignores letter case
      {"Action=ListIPs&Action=AddIP", 204},
      {"Action=listips", -1},  // the action name does not
      {"Action=ListIP", -1},
      {"Action=ListIPsX", -1},
      {"Action=", -1},
      {"", -1},
      {"PostAction=AddIP", -1},
  };
  for (const Case& c : cases) {
    RecordingApp app;
    app.Dispatch(kNoVariables, *QueryOf(c.query), kNoVariables);
    EXPECT_EQ(c.id, app.handled_id()) << c.query;
  }
}

TEST(CgiAppTest, RunApplicationWritesHeaderThenTheThreeSteps) {
  RecordingApp app;
  EXPECT_EQ(0, app.RunApplication(0, nullptr, nullptr, kNoVariables,
                                  *QueryOf("Action=AddIP"), kNoVariables));
  EXPECT_EQ("Content-Type: text/html\n\n[begin][action 203][end]",
            app.Output());
}

TEST(CgiAppTest, InstanceIsTheLiveApplication) {
  {
    RecordingApp app;
    EXPECT_EQ(&app, Instance);
  }
  EXPECT_EQ(nullptr, Instance);
}

TEST(CgiAppTest, PrintActionUrlEscapesScriptAndAction) {
  struct Case {
    std::string script;
    const char* action;
    std::string url;
  } cases[] = {
      {"/scripts/cfg.exe", "AddIP", "/scripts/cfg.exe?Action=AddIP"},
      {"/scripts/cfg.exe", "", "/scripts/cfg.exe?Action="},
      {"/a&b/\"x\".exe", "AddIP", "/a&amp;b/&quot;x&quot;.exe?Action=AddIP"},
      {"/cfg.exe", "a b&c=\"", "/cfg.exe?Action=a%20b%26c%3D%22"},
      {"", "AddIP", "?Action=AddIP"},  // SCRIPT_NAME empty or missing
  };
  for (const Case& c : cases) {
    SetEnvironment("SCRIPT_NAME", c.script);
    RecordingApp app;
    app.PrintActionUrl(c.action);
    EXPECT_EQ(c.url, app.Output()) << c.script << " " << c.action;
  }
}

TEST(CgiAppTest, PrintActionUrlWithAppendsTheFormattedText) {
  SetEnvironment("SCRIPT_NAME", "/scripts/cfg.exe");
  RecordingApp app;
  app.PrintActionUrlWith("DoCommonPaths", "Scheme=A");
  app.PrintActionUrlWith("EditVHost", "IP=%s", "10.0.0.1");
  app.PrintActionUrlWith("IPList", "PostAction=%s&n=%d", "General", 7);
  EXPECT_EQ(
      "/scripts/cfg.exe?Action=DoCommonPaths&Scheme=A"
      "/scripts/cfg.exe?Action=EditVHost&IP=10.0.0.1"
      "/scripts/cfg.exe?Action=IPList&PostAction=General&n=7",
      app.Output());
}

// Regression: the formatted text used to go into a fixed 260-byte buffer.
TEST(CgiAppTest, PrintActionUrlWithKeepsLongTextsWhole) {
  SetEnvironment("SCRIPT_NAME", "/cfg.exe");
  for (std::size_t length : {259, 260, 261, 5000}) {
    std::string value(length, 'v');
    RecordingApp app;
    app.PrintActionUrlWith("EditVHost", "IP=%s", value.c_str());
    EXPECT_EQ("/cfg.exe?Action=EditVHost&IP=" + value, app.Output()) << length;
  }
}

TEST(CgiAppTest, PrintErrorPageWritesTheMessageOfTheCode) {
  struct Case {
    int code;
    std::string page;
  } cases[] = {
      {1,
       "<html><body>An error #1 occured!<br>Error message: No registry "
       "configuration available! Run Registry configuration from the "
       "menu.</body></html>"},
      {2,
       "<html><body>An error #2 occured!<br>Error message: The specifiled CFG "
       "file can't be loaded.</body></html>"},
      // A code the table lacks gets an empty message.
      {7, "<html><body>An error #7 occured!<br>Error message: </body></html>"},
      {0, "<html><body>An error #0 occured!<br>Error message: </body></html>"},
  };
  for (const Case& c : cases) {
    RecordingApp app;
    app.PrintErrorPage(c.code);
    EXPECT_EQ(c.page, app.Output()) << c.code;
  }
}

}  // namespace
}  // namespace mervane
