// The CGI entry routine and action URLs, driven with an application that
// records the action it runs (the administration pages check the rest).

#include "cgi/cgi_app.h"

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <string>

#include "gtest/gtest.h"

namespace mervane {

const ErrorRow ErrorTable[] = {{nullptr, 0}};

namespace {

// Every response, refusals included, refuses to be framed by another site.
const std::string kHeader =
    "X-Frame-Options: DENY\nContent-Security-Policy: frame-ancestors "
    "'none'\nContent-Type: text/html\n\n";

class RecordingApp : public CgiApp {
 public:
  RecordingApp() { set_out(std::tmpfile()); }
  ~RecordingApp() override { std::fclose(out()); }

  void HandleAction(const char* action, const CgiVariableSet&,
                    const CgiVariableSet&, const CgiVariableSet&) override {
    std::fprintf(out(), "[action %s]", action);
  }

  std::string Output() {
    std::fflush(out());
    std::string text(std::ftell(out()), '\0');
    std::rewind(out());
    text.resize(std::fread(text.data(), 1, text.size(), out()));
    return text;
  }
};

// putenv keeps the text itself, so it must outlive the variable. (An empty
// value may leave the variable empty or remove it, by system.)
void SetEnvironment(const char* name, const std::string& value) {
  static auto* texts = new std::deque<std::string>;
  texts->push_back(std::string(name) + "=" + value);
  putenv(texts->back().data());
}

// Makes standard input read `body` and sets the request's variables.
void SetRequest(const std::string& content_length, const std::string& body,
                const std::string& query = "",
                const std::string& cookies = "") {
  // One file per test: ctest runs the tests of this file side by side.
  std::string path =
      testing::TempDir() + "cgi_app_test_body_" +
      testing::UnitTest::GetInstance()->current_test_info()->name();
  std::FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(nullptr, file);
  std::fputs(body.c_str(), file);
  std::fclose(file);
  ASSERT_NE(nullptr, std::freopen(path.c_str(), "rb", stdin));
  SetEnvironment("CONTENT_LENGTH", content_length);
  SetEnvironment("QUERY_STRING", query);
  SetEnvironment("HTTP_COOKIE", cookies);
}

TEST(CgiAppTest, PrintActionUrlWithEscapesTheScriptAndFitsAnyText) {
  const std::string v5000(5000, 'v');  // past the 259 characters of old
  const struct {
    std::string script, value, url;
  } kCases[] = {
      {"/a&b/\"x\".exe", "v", "/a&amp;b/&quot;x&quot;.exe?Action=E&P=v&n=7"},
      {"", "v", "?Action=E&P=v&n=7"},  // SCRIPT_NAME empty or missing
      {"/c", v5000, "/c?Action=E&P=" + v5000 + "&n=7"},
  };
  for (const auto& c : kCases) {
    SetEnvironment("SCRIPT_NAME", c.script);
    RecordingApp app;
    app.PrintActionUrlWith("E", "P=%s&n=%d", c.value.c_str(), 7);
    EXPECT_EQ(c.url, app.Output()) << c.script;
  }
}

TEST(CgiMainTest, FillsTheThreeSetsAndRunsTheApplication) {
  SetRequest("20", "a=1&b=x+y%21&e=&e=2&c=3", "Action=DoConfig&Action=AddIP",
             "x=1; y=2;z =3; =4");
  RecordingApp app;
  EXPECT_EQ(0, CgiMain(0, nullptr, nullptr));
  EXPECT_EQ(kHeader + "[action DoConfig]", app.Output());
  EXPECT_STREQ("x y!", PostVariables().GetVariable("b").FirstValue());
  EXPECT_STREQ("", PostVariables().GetVariable("e").FirstValue());
  EXPECT_STREQ("3", CookieVariables().GetVariable("z ").FirstValue());
  EXPECT_EQ(&EmptyVariable(), &QueryVariables().GetVariable("x"));
  EXPECT_EQ(&EmptyVariable(), &CookieVariables().GetVariable(""));
}

// Regression (the refusals): a body of any size was read whole into memory,
// and one of many tiny fields took many times its length.
TEST(CgiMainTest, ReadsAsMuchBodyAsDeclaredAndReceivedWithinTheLimits) {
  const std::string big(10000, 'x');  // longer than one read step
  const std::string size = "The request is larger than 1 MiB.";
  const struct {
    std::string length, body, value;  // body after "vX="; value or refusal
  } kCases[] = {
      {"6", "abcdef", "abc"},
      {"6abc", "abcdef", "abc"},
      {"1000", "abcdef", "abcdef"},  // the input ends first
      {"-6", "abcdef", ""},
      {"", "abcdef", ""},
      {"1048576", "abcdef", "abcdef"},                 // the limit itself
      {"1005", "abc" + std::string(999, '&'), "abc"},  // 1,000 fields
      {std::to_string(3 + big.size()), big + "&tail=1", big},
      {"1048577", "abcdef", size},
      {"99999999999999999999", "abcdef", size},
      {"1003", std::string(1000, '&'),
       "The request holds more than 1,000 fields."},
  };
  char name[] = "vA";  // the sets only grow: a new name for each request
  for (const auto& c : kCases) {
    ++name[1];
    SetRequest(c.length, name + ("=" + c.body), "Action=DoConfig");
    RecordingApp app;
    EXPECT_EQ(0, CgiMain(0, nullptr, nullptr));
    const bool refused = c.value.rfind("The request", 0) == 0;
    EXPECT_EQ(kHeader + (refused ? "<html><body>" + c.value +
                                       " Nothing was changed.</body></html>"
                                 : "[action DoConfig]"),
              app.Output())
        << c.length;
    if (!refused) {
      EXPECT_EQ(c.value, PostVariables().GetVariable(name).FirstValue())
          << c.length;
    }
    EXPECT_TRUE(c.value != size || std::ftell(stdin) == 0) << "read";
  }
}

}  // namespace
}  // namespace mervane
