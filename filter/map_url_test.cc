#include <string>

#include "filter/mapping_filter.h"
#include "filter/test_environment.h"
#include "filter/test_mapping_cases.h"
#include "gtest/gtest.h"

namespace mervane {
namespace {

// Maps through filter->MapUrl with a fake server.
MapFunction DirectlyWith(MappingFilter* filter) {
  return [filter](const MappingCase& c, const std::string& physical) {
    FakeServer server(c.ip, c.port, c.host);
    return MapRequest(filter, &server, c.url, physical);
  };
}

// Settings that the worked example leaves out: WebRoot with a final '\',
// a host per port, full-path UserDirs, hosts without a scheme or with a
// misspelled one, an exception over a common path, disabled IPs.
std::string EdgeConfiguration() {
  const std::string alpha = HostText("alpha", "alpha", "SchemeA");
  return IpText(
             "10.0.0.5",
             HostText(
                 "alpha", "alpha", "SchemeA",
                 SectionText("FolderExceptions",
                             "(string)docs=d:\\shared\\docs\n"
                             "(string)cgi-bin=d:\\exceptions\\cgi-bin\n")) +
                 HostText("alpha|8080", "alpha8080", "SchemeA") +
                 HostText("beta", "beta", "SchemeB") +
                 HostText("lower", "lower", "schemea") +
                 HostText("full", "e:\\sites\\full", "SchemeA") +
                 SectionText("bare", "") +
                 // The longest key a section can have: 255 characters.
                 HostText(std::string(250, 'h') + "|6553", "long", "SchemeA"),
             SectionText(
                 "COMMON_PATHS",
                 SectionText("SchemeA", "(string)cgi-bin=d:\\www\\cgi-bin\n")) +
                 "(int)Disable=0\n(string)SchemeBRootDir=users\n"
                 "(string)WebRoot=d:\\www\\\n") +
         IpText("10.0.0.6", alpha, "(int)Disable=1\n") +
         IpText("10.0.0.7", alpha, "(int)Disable=2\n");
}

class MapUrlEdgeTest : public ::testing::Test {
 protected:
  MapUrlEdgeTest() {
    environment_.WriteFile("c:\\edge.cfg", EdgeConfiguration());
    environment_.SetConfigurationPath("c:\\edge.cfg");
    environment_.WriteFile("d:\\www\\users\\beta\\index.htm", "beta");
    environment_.MakeFolder("d:\\www\\users\\beta\\img");
    filter_ = std::make_unique<MappingFilter>();
  }

  TestEnvironment environment_;
  std::unique_ptr<MappingFilter> filter_;
};

TEST_F(MapUrlEdgeTest, Mappings) {
  const std::string long_host(250, 'h');
  ExpectMappings(
      environment_,
      {
          // Ports and the letter case of hosts.
          {"10.0.0.5", "8080", "alpha", "/a.htm", "d:\\www\\alpha8080\\a.htm"},
          {"10.0.0.5", "080", "alpha", "/a.htm", "d:\\www\\alpha\\a.htm"},
          {"10.0.0.5", "443", "alpha", "/a.htm", kUnchanged},
          {"10.0.0.5", "80", "ALPHA", "/a.htm", "d:\\www\\alpha\\a.htm"},
          {"10.0.0.5", "8080", "Alpha", "/a.htm", "d:\\www\\alpha8080\\a.htm"},
          {"10.0.0.9", "80", "alpha", "/a.htm", kUnchanged},
          // An exception for the URL of its folder alone, or with a '/'.
          {"10.0.0.5", "80", "alpha", "/docs", "d:\\shared\\docs"},
          {"10.0.0.5", "80", "alpha", "/docs/", "d:\\shared\\docs\\"},
          // The tail keeps the URL's own letters.
          {"10.0.0.5", "80", "alpha", "/DOCS/X.txt", "d:\\shared\\docs\\X.txt"},
          // A folder exception wins over a common path of the same name.
          {"10.0.0.5", "80", "alpha", "/cgi-bin/run.exe",
           "d:\\exceptions\\cgi-bin\\run.exe"},
          // "schemea" finds the SchemeA common paths but maps no scheme.
          {"10.0.0.5", "80", "lower", "/cgi-bin/run.exe",
           "d:\\www\\cgi-bin\\run.exe"},
          {"10.0.0.5", "80", "lower", "/a/b.htm", "d:\\www\\"},
          // WebRoot with its final '\' gets no second one.
          {"10.0.0.5", "80", "alpha", "/", "d:\\www\\alpha\\"},
          {"10.0.0.5", "80", "full", "/a/b.htm", "e:\\sites\\full\\a\\b.htm"},
          {"10.0.0.5", "80", "bare", "/a/b.htm", "d:\\www\\"},
          // A folder of the user's root is not a file: served per host.
          {"10.0.0.5", "80", "beta", "/img", "d:\\www\\img\\beta"},
          {"10.0.0.5", "80", "beta", "/index.htm",
           "d:\\www\\users\\beta\\index.htm"},
          // A wildcard must not find some other file of the user's root.
          {"10.0.0.5", "80", "beta", "/index.*", "d:\\www\\index.*\\beta"},
          // Without WebRoot the server's site root is the base.
          {"10.0.0.7", "80", "alpha", "/a/b.htm",
           "c:\\inetpub\\wwwroot\\alpha\\a\\b.htm"},
          // Regression: cutting the site root at the first "\docs" gave
          // c:\inetpub\alpha\docs\docs.
          {"10.0.0.7", "80", "alpha", "/docs", "c:\\inetpub\\docs\\alpha\\docs",
           "c:\\inetpub\\docs\\docs"},
          // Regression: a host name near 255 characters and a port made a
          // HostKey that overran its buffer; cut, it could name another host.
          {"10.0.0.5", "6553", long_host.c_str(), "/a", "d:\\www\\long\\a"},
          {"10.0.0.5", "65535", long_host.c_str(), "/a", kUnchanged},
          // Only Disable 1 disables.
          {"10.0.0.6", "80", "alpha", "/a.htm", kUnchanged},
          {"10.0.0.6", "80", "nobody", "/a.htm", kUnchanged},
          {"10.0.0.7", "80", "alpha", "/a.htm",
           "c:\\inetpub\\wwwroot\\alpha\\a.htm"},
      },
      DirectlyWith(filter_.get()));
}

// The server's buffer or request memory are tested through the library;
// without request memory the server's path stays as it was.
TEST_F(MapUrlEdgeTest, LongPathWithoutRequestMemoryPasses) {
  const std::string name(300, 'x');
  const std::string physical = environment_.Path("c:\\w\\" + name);
  FakeServer starved("10.0.0.5", "80", "alpha");
  starved.can_allocate = false;
  const Mapping refused =
      MapRequest(filter_.get(), &starved, "/" + name, physical, 0);
  EXPECT_EQ(SF_STATUS_REQ_NEXT_NOTIFICATION, refused.status);
  EXPECT_EQ(physical, refused.path);
}

}  // namespace
}  // namespace mervane
