// Loading a snapshot: hosts read one by one map as the whole tree would.
// Why a file is refused is tested with the filter's reloads.

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "filter/snapshot.h"
#include "filter/test_environment.h"
#include "gtest/gtest.h"

namespace mervane {
namespace {

// Regression: hosts handed over as they were read lost the lines of a later
// section whose name differs only in case, which the tree joins to the
// first.
TEST(SnapshotLoadTest, HostsOfOneNameJoinAsInTheTree) {
  TestEnvironment environment;
  std::ifstream in(MERVANE_TESTDATA "/duplicates.cfg");
  environment.WriteFile("c:\\duplicates.cfg",
                        {std::istreambuf_iterator<char>(in), {}});
  Snapshot::LoadFailure failure;
  const std::shared_ptr<const Snapshot> snapshot =
      Snapshot::Load(environment.Path("c:\\duplicates.cfg"), &failure);
  ASSERT_NE(nullptr, snapshot) << failure.reason;
  const struct {
    const char* host;
    const char* url;
    const char* expected;
  } cases[] = {
      {"DUP", "/a/b.htm", "c:\\inetpub\\wwwroot\\first\\a\\b.htm"},
      {"dup", "/Docs/x", "d:\\first\\x"},
      {"dup", "/more/x", "d:\\more\\x"},
      {"far", "/a", "c:\\inetpub\\wwwroot\\far\\a"},
  };
  for (const auto& c : cases) {
    FakeServer server("10.0.1.9", "80", c.host);
    std::string path = environment.Path(WwwrootPath(c.url));
    path.resize(260);
    HTTP_FILTER_URL_MAP record = {c.url, path.data(), 260};
    MappingLog log;
    EXPECT_EQ(SF_STATUS_REQ_HANDLED_NOTIFICATION,
              snapshot->MapUrl(&server, &server, &record, &log))
        << c.host << c.url;
    EXPECT_EQ(environment.Path(c.expected), record.pszPhysicalPath)
        << c.host << c.url;
  }
}

}  // namespace
}  // namespace mervane
