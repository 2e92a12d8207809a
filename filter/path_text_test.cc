#include "filter/path_text.h"

#include "gtest/gtest.h"

namespace mervane {
namespace {

TEST(PathTextTest, SiteRoot) {
  const struct {
    const char* url;
    const char* physical_path;
    const char* root;
  } cases[] = {
      {"/", "c:\\inetpub\\wwwroot\\", "c:\\inetpub\\wwwroot"},
      // Regression: the first "\docs" lies inside the site root.
      {"/docs", "c:\\inetpub\\docs\\docs", "c:\\inetpub\\docs"},
      {"/docs/a", "c:\\inetpub\\docs\\docs\\a", "c:\\inetpub\\docs"},
      // A path that does not end with the URL: cut at its first occurrence.
      {"/a/b.htm", "c:\\root\\a\\b.htm\\default.htm", "c:\\root"},
      {"/a", "c:\\elsewhere", ""},
      {"/", "", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.root, SiteRoot(ToBackslashes(c.url), c.physical_path))
        << c.url << " " << c.physical_path;
  }
}

}  // namespace
}  // namespace mervane
