#include "apache/server_path.h"

#include <gtest/gtest.h>

namespace mervane {
namespace apache {
namespace {

TEST(ServerPathTest, DocumentRootAndUriInTheFormIisGives) {
  struct Case {
    const char* document_root;
    const char* uri;
    const char* drives;
    const char* expected;
  } cases[] = {
      {"/srv/d/c/inetpub/wwwroot", "/a/b.htm", "/srv/d",
       "c:\\inetpub\\wwwroot\\a\\b.htm"},
      // "/" must leave a final '\': the filter drops it to find the root.
      {"/srv/d/c/inetpub/wwwroot", "/", "/srv/d", "c:\\inetpub\\wwwroot\\"},
      {"/srv/d/c/www/", "/x", "/srv/d/", "c:\\www\\x"},
      {"/srv/d/c", "/x", "/srv/d", "c:\\x"},
      {"/var/www", "/a b/\xfc.htm", "/srv/d", "\\var\\www\\a b\\\xfc.htm"},
      {"/", "/a", "", "\\a"},
      // Only a one-letter, lower-case folder right below the drives is one.
      {"/srv/d/cd/www", "/x", "/srv/d", "\\srv\\d\\cd\\www\\x"},
      {"/srv/dx/c/www", "/x", "/srv/d", "\\srv\\dx\\c\\www\\x"},
      {"/srv/d/C/www", "/x", "/srv/d", "\\srv\\d\\C\\www\\x"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.expected, ServerPath(c.document_root, c.uri, c.drives))
        << c.document_root << " " << c.uri << " " << c.drives;
  }
}

TEST(ServerPathTest, RefusedUrisAndPaths) {
  struct Case {
    const char* text;
    bool backslash;
    bool parent;
  } cases[] = {
      {"/a/b", false, false},      {"/a\\..\\b", true, false},
      {"/www/../x", false, true},  {"/www/..", false, true},
      {"..", false, true},         {"/www/..x/y", false, false},
      {"/www/x../", false, false}, {"/a/./b", false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.backslash, HoldsBackslash(c.text)) << c.text;
    EXPECT_EQ(c.parent, HoldsParentSegment(c.text)) << c.text;
  }
}

}  // namespace
}  // namespace apache
}  // namespace mervane
