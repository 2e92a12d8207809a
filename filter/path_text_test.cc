#include "filter/path_text.h"

#include <string>

#include "filter/test_environment.h"
#include "gtest/gtest.h"

namespace mervane {
namespace {

TEST(PathTextTest, FirstSegment) {
  const struct {
    const char* text;
    const char* segment;
  } cases[] = {
      {"\\docs\\x\\y.txt", "docs"},
      {"\\index.htm", "index.htm"},
      {"\\", ""},
      {"\\\\x", ""},
      {"docs", ""},
      {"", ""},
      {"a\\b\\c", "b"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.segment, FirstSegment(c.text)) << c.text;
  }
}

TEST(PathTextTest, TextAfterAndBeforeUseFirstOccurrence) {
  EXPECT_EQ("\\b\\a", TextAfter("\\a\\b\\a", "\\a"));
  EXPECT_EQ("", TextAfter("\\docs", "\\docs"));
  EXPECT_EQ("", TextAfter("\\docs", "\\DOCS"));
  EXPECT_EQ("c:\\x", TextBefore("c:\\x\\y\\x\\y", "\\y"));
  EXPECT_EQ("", TextBefore("c:\\x", "\\z"));
}

TEST(PathTextTest, SiteRoot) {
  const struct {
    const char* url;
    const char* physical_path;
    const char* root;
  } cases[] = {
      {"/", "c:\\inetpub\\wwwroot\\", "c:\\inetpub\\wwwroot"},
      {"/a/b.htm", "c:\\inetpub\\wwwroot\\a\\b.htm", "c:\\inetpub\\wwwroot"},
      // Regression: the first "\docs" lies inside the site root.
      {"/docs", "c:\\inetpub\\docs\\docs", "c:\\inetpub\\docs"},
      {"/docs/a", "c:\\inetpub\\docs\\docs\\a", "c:\\inetpub\\docs"},
      // A path that does not end with the URL: cut at its first occurrence.
      {"/a/b.htm", "c:\\root\\a\\b.htm\\default.htm", "c:\\root"},
      {"/a", "c:\\elsewhere", ""},
      {"/", "", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.root, SiteRoot(c.url, c.physical_path))
        << c.url << " " << c.physical_path;
  }
}

TEST(PathTextTest, IsExistingFile) {
  TestEnvironment environment;
  environment.WriteFile("d:\\site\\file.htm", "x");
  EXPECT_TRUE(IsExistingFile(environment.Native("d:\\site\\file.htm")));
  EXPECT_TRUE(IsExistingFile("d:\\site\\file.htm"));
  EXPECT_FALSE(IsExistingFile("d:\\site"));
  EXPECT_FALSE(IsExistingFile("d:\\site\\missing.htm"));
  EXPECT_FALSE(IsExistingFile("d:\\site\\file.*"));
  EXPECT_FALSE(IsExistingFile("d:\\site\\file.ht?"));
}

}  // namespace
}  // namespace mervane
