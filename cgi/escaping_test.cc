#include "cgi/escaping.h"

#include <string>

#include "gtest/gtest.h"

namespace mervane {
namespace {

TEST(EscapingTest, EscapesForHtmlAndForUrls) {
  struct Case {
    const char* in;
    std::string html, url;
  } cases[] = {
      {"AZaz09-._~", "AZaz09-._~", "AZaz09-._~"},
      {"a&b<c>\"d'e", "a&amp;b&lt;c&gt;&quot;d&#39;e", "a%26b%3Cc%3E%22d%27e"},
      {"C:\\w w/x+y%=?#", "C:\\w w/x+y%=?#",
       "C%3A%5Cw%20w%2Fx%2By%25%3D%3F%23"},
      {"\xe9\x01", "\xe9\x01", "%E9%01"},  // 8-bit bytes, unsigned
      {nullptr, "", ""},
  };
  for (const Case& c : cases) {
    const char* shown = c.in ? c.in : "(null)";
    EXPECT_EQ(c.html, HtmlEscaped(c.in)) << shown;
    EXPECT_EQ(c.url, UrlEncoded(c.in)) << shown;
  }
}

}  // namespace
}  // namespace mervane
