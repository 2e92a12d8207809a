#include "cgi/cgi_main.h"

#include <cstdio>
#include <string>

#include "cgi/cgi_app.h"
#include "cgi/test_recording_app.h"
#include "gtest/gtest.h"

namespace mervane {
namespace {

// Makes standard input read `body` and sets the request's variables.
void SetRequest(const std::string& content_length, const std::string& body,
                const std::string& query, const std::string& cookies) {
  // One file per test: ctest runs the tests of this file side by side.
  std::string path =
      testing::TempDir() + "cgi_main_test_body_" +
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

// The sets belong to the process and only grow, so every request below uses
// names of its own.

TEST(CgiMainTest, FillsTheThreeSetsAndRunsTheApplication) {
  SetRequest("12", "a=1&b=x+y%21&c=3", "Action=DoConfig&Action=IPList",
             "x=1; y=2;z =3");
  RecordingApp app;
  EXPECT_EQ(0, CgiMain(0, nullptr, nullptr));
  EXPECT_EQ("Content-Type: text/html\n\n[begin][action 100][end]",
            app.Output());
  EXPECT_STREQ("1", PostVariables().GetVariable("a").FirstValue());
  EXPECT_STREQ("x y!", PostVariables().GetVariable("b").FirstValue());
  EXPECT_EQ(&EmptyVariable(), &PostVariables().GetVariable("c"));
  EXPECT_STREQ("2", CookieVariables().GetVariable("y").FirstValue());
  EXPECT_STREQ("3", CookieVariables().GetVariable("z ").FirstValue());
  EXPECT_EQ(&EmptyVariable(), &QueryVariables().GetVariable("x"));
}

TEST(CgiMainTest, ReadsAsMuchBodyAsDeclaredAndReceived) {
  struct Case {
    std::string content_length;
    std::string value;  // of the body's one variable
  } cases[] = {
      {"6", "abc"},
      {" 6", "abc"},
      {"6abc", "abc"},
      {"1000", "abcdef"},  // the input ends first
      {"0", ""},
      {"-6", ""},
      {"abc", ""},
      {"", ""},
      {"1048576", "abcdef"},  // the limit itself
  };
  int request = 0;
  for (const Case& c : cases) {
    std::string name = "v" + std::to_string(++request);
    SetRequest(c.content_length, name + "=abcdef", "", "");
    RecordingApp app;
    CgiMain(0, nullptr, nullptr);
    EXPECT_STREQ(c.value.c_str(),
                 PostVariables().GetVariable(name.c_str()).FirstValue())
        << c.content_length;
  }
  // A body longer than one read step.
  std::string big(10000, 'x');
  SetRequest(std::to_string(4 + big.size()), "big=" + big + "&tail=1", "", "");
  RecordingApp app;
  CgiMain(0, nullptr, nullptr);
  EXPECT_EQ(big, PostVariables().GetVariable("big").FirstValue());
  EXPECT_EQ(&EmptyVariable(), &PostVariables().GetVariable("tail"));
}

TEST(CgiMainTest, RefusesABodyOverOneMebibyteUnread) {
  for (const char* length : {"1048577", "99999999999999999999"}) {
    SetRequest(length, "over=1", "Action=DoConfig", "");
    RecordingApp app;
    EXPECT_EQ(0, CgiMain(0, nullptr, nullptr));
    EXPECT_EQ(
        "Content-Type: text/html\n\n<html><body>The request is larger than 1 "
        "MiB. Nothing was changed.</body></html>",
        app.Output())
        << length;
    EXPECT_EQ(0, app.handled_id()) << length;
    EXPECT_EQ(0L, std::ftell(stdin)) << length;
  }
}

}  // namespace
}  // namespace mervane
