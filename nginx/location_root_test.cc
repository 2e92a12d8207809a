// The folder and URL bytes that make nginx rebuild a mapped path.

#include "nginx/location_root.h"

#include <gtest/gtest.h>

#include <cstring>

namespace mervane {
namespace nginx {
namespace {

TEST(LocationRootTest, FolderAndTheUrlBytesItReplaces) {
  const struct {
    const char* mapped_path;
    const char* uri;
    const char* root;
    std::size_t alias;
  } kCases[] = {
      {"/d/www/alpha/a/b.htm", "/a/b.htm", "/d/www/alpha", 0},
      {"/d/www/users/beta/", "/", "/d/www/users/beta", 0},
      {"/d/shared/documents/x/y.txt", "/docs/x/y.txt", "/d/shared/documents",
       5},
      // Either split names the same file; the URL keeps what it can.
      {"/d/shared/docs/x/y.txt", "/docs/x/y.txt", "/d/shared", 0},
      {"/d/www/img/beta/logo.gif", "/img/logo.gif", "/d/www/img/beta", 4},
      {"/d/shared/docs/", "/docs/", "/d/shared", 0},
      {"/d/www/users/beta", "/", "/d/www/users/beta", 0},
      // Only whole segments stay the URL's.
      {"/d/x/cab", "/ab", "/d/x/cab", 3},
      {"/d/new.htm", "/old.htm", "/d/new.htm", 8},
      {"/d/docs", "/docs/", "/d", 0},
      {"/d/alpha/info.php/extra", "/info.php/extra", "/d/alpha", 0},
  };
  // One LocationRoot for every case, as the loop's job keeps one.
  LocationRoot got;
  for (const auto& c : kCases) {
    LocationRootOf(c.mapped_path, c.uri, &got);
    EXPECT_EQ(c.root, got.root) << c.mapped_path << " " << c.uri;
    EXPECT_EQ(c.alias, got.alias) << c.mapped_path << " " << c.uri;
    // What nginx rebuilds is the mapped path, a folder for a folder's URL.
    const std::string rebuilt = got.root + std::string(c.uri).substr(got.alias);
    EXPECT_EQ(c.mapped_path, rebuilt.substr(0, std::strlen(c.mapped_path)));
  }
}

}  // namespace
}  // namespace nginx
}  // namespace mervane
