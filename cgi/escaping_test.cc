#include "cgi/escaping.h"

#include <string>

#include "gtest/gtest.h"

namespace mervane {
namespace {

struct Case {
  const char* in;
  std::string out;
};

TEST(EscapingTest, HtmlEscapedReplacesMarkupCharacters) {
  const Case cases[] = {
      {"a&b<c>\"d'e", "a&amp;b&lt;c&gt;&quot;d&#39;e"},
      {"&amp;", "&amp;amp;"},
      {"C:\\www\\site one", "C:\\www\\site one"},
      {"\xe9t\xe9", "\xe9t\xe9"},  // 8-bit texts pass unchanged
      {"", ""},
      {nullptr, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.out, HtmlEscaped(c.in)) << (c.in ? c.in : "(null)");
  }
}

TEST(EscapingTest, UrlEncodedKeepsOnlyUnreservedCharacters) {
  const Case cases[] = {
      {"10.0.0.1", "10.0.0.1"},
      {"AZaz09-._~", "AZaz09-._~"},
      {"a b&c=d?e#f", "a%20b%26c%3Dd%3Fe%23f"},
      {"C:\\www/x+y%", "C%3A%5Cwww%2Fx%2By%25"},
      {"\xe9\x01\x7f", "%E9%01%7F"},
      {"", ""},
      {nullptr, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.out, UrlEncoded(c.in)) << (c.in ? c.in : "(null)");
  }
}

}  // namespace
}  // namespace mervane
