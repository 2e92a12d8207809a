// Loading a snapshot: files that cannot be loaded say why, and hosts read
// one by one map as the whole tree would.

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "filter/snapshot.h"
#include "filter/test_environment.h"
#include "gtest/gtest.h"

namespace mervane {
namespace {

TEST(SnapshotLoadTest, RefusedFilesSayWhy) {
  TestEnvironment environment;
  std::string deep;
  for (int level = 0; level < 65; ++level) deep += "{ s:\n";
  environment.WriteFile("c:\\deep.cfg", deep);
  environment.WriteFile("c:\\good.cfg", "{ 10.0.0.5:\n} 10.0.0.5;\n");
  const struct {
    const char* path;
    bool loaded;
    const char* reason;  // null: the system's text for a missing file
  } cases[] = {
      {"c:\\good.cfg", true, ""},
      {"c:\\missing.cfg", false, nullptr},
      {"c:\\deep.cfg", false, "nested deeper than 64 sections"},
  };
  for (const auto& c : cases) {
    Snapshot::LoadFailure failure;
    const bool loaded =
        Snapshot::Load(environment.Path(c.path), &failure) != nullptr;
    EXPECT_EQ(c.loaded, loaded) << c.path;
    if (c.reason != nullptr) {
      EXPECT_EQ(c.reason, failure.reason) << c.path;
    } else {
      EXPECT_FALSE(failure.reason.empty()) << c.path;
    }
  }
}

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
