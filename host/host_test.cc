// The modules' logic that needs no server: the server's path and variables.

#include <gtest/gtest.h>

#include <string>

#include "host/server_path.h"
#include "host/server_variables.h"
#include "host/site_variables.h"

namespace mervane {
namespace host {
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
    std::string path = "left from the request before";
    ServerPath(c.document_root, c.uri, c.drives, &path);
    EXPECT_EQ(c.expected, path)
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

TEST(RequestVariablesTest, ReadFollowsTheBufferContract) {
  const RequestVariables named("127.0.0.1", 8080, "alpha");
  const RequestVariables unnamed("127.0.0.1", 80, nullptr);
  // The longest address a server gives: a link-local one with its zone.
  const std::string longest =
      "fe80:ffff:ffff:ffff:ffff:ffff:255.255.255.255%" + std::string(15, 'z');
  const RequestVariables v6("2001:db8::5", 80, nullptr);
  const RequestVariables zoned(longest.c_str(), 80, "alpha");
  struct Case {
    const RequestVariables* variables;
    const char* name;
    DWORD buffer_size;
    BOOL result;
    DWORD size_after;  // bytes copied, or needed
    DWORD error;
    const char* value;  // the buffer's text after the call
  } cases[] = {
      // The filter reads LOCAL_ADDR into 64 bytes: every address fits whole.
      {&named, "LOCAL_ADDR", 64, TRUE, 10, 0, "127.0.0.1"},
      {&v6, "LOCAL_ADDR", 64, TRUE, 12, 0, "2001:db8::5"},
      {&v6, "LOCAL_ADDR", 11, FALSE, 12, kErrorInsufficientBuffer, "-"},
      {&zoned, "LOCAL_ADDR", 64, TRUE, 62, 0, longest.c_str()},
      {&v6, "SERVER_NAME", 256, TRUE, 12, 0, "2001:db8::5"},
      {&named, "SERVER_PORT", 5, TRUE, 5, 0, "8080"},
      {&named, "SERVER_PORT", 4, FALSE, 5, kErrorInsufficientBuffer, "-"},
      {&named, "SERVER_NAME", 256, TRUE, 6, 0, "alpha"},
      {&unnamed, "SERVER_NAME", 256, TRUE, 10, 0, "127.0.0.1"},
      {&named, "server_name", 256, FALSE, 256, kErrorInvalidIndex, "-"},
  };
  for (const Case& c : cases) {
    char buffer[256] = "-";
    DWORD size = c.buffer_size;
    DWORD error = 0;
    SCOPED_TRACE(std::string(c.name) + " " + std::to_string(c.buffer_size));
    EXPECT_EQ(c.result, c.variables->Read(c.name, buffer, &size, &error));
    EXPECT_EQ(c.size_after, size);
    EXPECT_EQ(c.error, error);
    EXPECT_STREQ(c.value, buffer);
  }
}

// The filter's report as the request's variables: MERVANE_USERDIR only for a
// name that cannot leave the folder of the pools' sockets.
TEST(SiteVariablesTest, NativeFoldersAndOnlySafeUserDirs) {
  struct Case {
    const char* user_dir;
    const char* document_root;
    const char* context_prefix;
    const char* context_root;
    const char* expected;  // user_dir|document_root|prefix|context root
  } cases[] = {
      {"alpha", "\\srv\\alpha\\", "", "", "alpha|/srv/alpha||"},
      {"beta", "\\srv\\users\\beta", "/img", "\\srv\\img\\beta\\",
       "beta|/srv/users/beta|/img|/srv/img/beta"},
      {"a-b_c.1", "\\", "", "", "a-b_c.1|/||"},
      {"d:\\sites\\gamma", "\\sites\\gamma", "", "", "|/sites/gamma||"},
      {".hidden", "\\srv", "", "", "|/srv||"},
      {"a/../b", "\\srv", "", "", "|/srv||"},
      {"\xc3\xa9t\xc3\xa9", "\\srv", "", "", "|/srv||"},
  };
  for (const Case& c : cases) {
    const isapi::SiteReport report = {sizeof report,    "entry",
                                      c.user_dir,       c.document_root,
                                      c.context_prefix, c.context_root};
    const SiteVariables site = SiteVariablesOf(report);
    EXPECT_EQ("entry", site.entry);
    EXPECT_EQ(c.expected, site.user_dir + "|" + site.document_root + "|" +
                              site.context_prefix + "|" +
                              site.context_document_root)
        << c.user_dir;
  }
}

}  // namespace
}  // namespace host
}  // namespace mervane
