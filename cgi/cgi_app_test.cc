#include "cgi/cgi_app.h"

#include <memory>
#include <string>

#include "cgi/field_reader.h"
#include "cgi/test_recording_app.h"
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
      {"Action=ListIPsX", -1},
      {"Action=", -1},
      {"", -1},
  };
  for (const Case& c : cases) {
    RecordingApp app;
    app.Dispatch(kNoVariables, *QueryOf(c.query), kNoVariables);
    EXPECT_EQ(c.id, app.handled_id()) << c.query;
  }
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
  app.PrintActionUrlWith("IPList", "PostAction=%s&n=%d", "General", 7);
  EXPECT_EQ("/scripts/cfg.exe?Action=IPList&PostAction=General&n=7",
            app.Output());
  // Texts past 259 characters are neither cut nor written out of bounds.
  for (std::size_t length : {259, 260, 5000}) {
    std::string value(length, 'v');
    RecordingApp long_app;
    long_app.PrintActionUrlWith("EditVHost", "IP=%s", value.c_str());
    EXPECT_EQ("/scripts/cfg.exe?Action=EditVHost&IP=" + value,
              long_app.Output())
        << length;
  }
}

}  // namespace
}  // namespace mervane
