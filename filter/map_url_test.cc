// What a mapped request reports of its site beside its path: the folder of
// the host's "/" whatever the request itself mapped to, and the prefix and
// folder of an exception.

#include <string>

#include "filter/mapped_site.h"
#include "filter/mapping_log.h"
#include "filter/snapshot.h"
#include "filter/test_environment.h"
#include "gtest/gtest.h"

namespace mervane {
namespace {

TEST(MapUrlTest, SiteReportNamesTheHostsHomeFolder) {
  TestEnvironment environment;
  // The server's root stays as the server gives it; the configuration's
  // folders lie where the environment put them.
  const std::string home = WwwrootPath("/alpha");
  const std::string www = environment.Path("d:\\www\\alpha");
  const std::string shared = environment.Path("d:\\shared");
  const struct {
    const char* main;  // the MAIN section's lines
    const char* url;
    std::string expected;  // document root|context prefix|context root
  } cases[] = {
      // Without a WebRoot the server's root is the base, not the folder
      // that the request was mapped into.
      {"", "/f.htm", home + "||"},
      {"", "/", home + "||"},
      {"", "/docs/x", home + "|/docs|" + shared},
      {"(string)WebRoot=d:\\www\n", "/f.htm", www + "||"},
      {"(string)WebRoot=d:\\www\n", "/docs/", www + "|/docs|" + shared},
  };
  for (const auto& c : cases) {
    environment.WriteFile(
        "c:\\test.cfg",
        std::string("{ 10.0.0.1:\n{ VIRTUAL_HOSTS:\n{ alpha:\n"
                    "(string)UserDir=alpha\n(string)MapScheme=SchemeA\n"
                    "{ FolderExceptions:\n(string)docs=d:\\shared\n"
                    "} FolderExceptions;\n} alpha;\n} VIRTUAL_HOSTS;\n"
                    "{ MAIN:\n") +
            c.main + "} MAIN;\n} 10.0.0.1;\n");
    Snapshot::LoadFailure failure;
    const std::shared_ptr<const Snapshot> snapshot =
        Snapshot::Load(environment.Path("c:\\test.cfg"), &failure);
    ASSERT_NE(nullptr, snapshot) << failure.reason;
    FakeServer server("10.0.0.1", "80", "alpha");
    std::string path = WwwrootPath(c.url);
    path.resize(260);
    HTTP_FILTER_URL_MAP record = {c.url, path.data(), 260};
    MappingLog log;
    MappedSite site;
    ASSERT_EQ(SF_STATUS_REQ_HANDLED_NOTIFICATION,
              snapshot->MapUrl(&server, &server, &record, &log, &site))
        << c.main << c.url;
    EXPECT_EQ(c.expected, site.document_root + "|" + site.context_prefix + "|" +
                              site.context_root)
        << c.main << c.url;
  }
}

}  // namespace
}  // namespace mervane
