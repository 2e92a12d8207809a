// Loading a snapshot: the snapshot maps as the whole tree would. Why a file
// is refused is tested with the filter's reloads.

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "filter/snapshot.h"
#include "filter/snapshot_tree_test_util.h"
#include "filter/test_environment.h"
#include "gtest/gtest.h"

namespace mervane {
namespace {

// Regressions: the lines of a later section whose name differs only in
// case were lost, or read as the tree never reads them after a value of the
// host's name; and the clang build's pointer into an arena that grew.
TEST(SnapshotLoadTest, SectionsOfOneNameJoinAsInTheTree) {
  TestEnvironment environment;
  const struct {
    const char* file;
    const char* ip;
    const char* host;
    const char* url;
    const char* expected;  // null: unmapped
  } cases[] = {
      {"duplicates.cfg", "10.0.1.9", "dup", "/Docs/x", "d:\\first\\x"},
      {"shadowing.cfg", "10.0.2.1", "a.com", "/docs/x", "d:\\a-docs\\x"},
      {"shadowing.cfg", "10.0.2.1", "d.com", "/a",
       "c:\\inetpub\\wwwroot\\d\\a"},
      {"shadowing.cfg", "10.0.2.1", "FolderExceptions", "/a", nullptr},
      {"shadowing.cfg", "10.0.2.2", "c.com", "/a",
       "c:\\inetpub\\wwwroot\\c\\a"},
  };
  for (const auto& c : cases) {
    std::ifstream in(std::string(MERVANE_TESTDATA "/") + c.file);
    environment.WriteFile("c:\\test.cfg",
                          {std::istreambuf_iterator<char>(in), {}});
    Snapshot::LoadFailure failure;
    const std::shared_ptr<const Snapshot> snapshot =
        Snapshot::Load(environment.Path("c:\\test.cfg"), &failure);
    ASSERT_NE(nullptr, snapshot) << failure.reason;
    FakeServer server(c.ip, "80", c.host);
    std::string path = environment.Path(WwwrootPath(c.url));
    path.resize(260);
    HTTP_FILTER_URL_MAP record = {c.url, path.data(), 260};
    MappingLog log;
    const DWORD status = snapshot->MapUrl(&server, &server, &record, &log);
    EXPECT_EQ(c.expected != nullptr ? SF_STATUS_REQ_HANDLED_NOTIFICATION
                                    : SF_STATUS_REQ_NEXT_NOTIFICATION,
              status)
        << c.file << " " << c.host << c.url;
    if (c.expected != nullptr) {
      EXPECT_EQ(environment.Path(c.expected), record.pszPhysicalPath)
          << c.file << " " << c.host << c.url;
    }
  }
}

// The snapshot maps every request as the tree loaded whole from the same
// text: over generated files of every shape, and over the hand-written
// files here (the fuzzer's seeds).
TEST(SnapshotLoadTest, MapsAsTheWholeTree) {
  for (uint32_t seed = 1; seed <= 500; ++seed) {
    const std::string text = RandomConfiguration(seed);
    ASSERT_EQ("", CompareWithTree(text, seed, 300))
        << "seed " << seed << ", file:\n"
        << text;
  }
  std::vector<std::string> texts;
  for (const auto& entry :
       std::filesystem::directory_iterator(MERVANE_TESTDATA)) {
    std::ifstream in(entry.path());
    texts.emplace_back(std::istreambuf_iterator<char>(in),
                       std::istreambuf_iterator<char>());
  }
  // A host of more sections than are read again.
  texts.emplace_back("{ 10.0.0.5:\n{ VIRTUAL_HOSTS:\n");
  for (int i = 0; i < 40; ++i) {
    const std::string n = std::to_string(i);
    texts.back() += "{ a.com:\n{ FolderExceptions:\n(string)d" + n + "=d:\\" +
                    n + "\n} FolderExceptions;\n} a.com;\n";
  }
  for (const std::string& text : texts) {
    EXPECT_EQ("", CompareWithTree(text, 1, 3000)) << text;
  }
}

}  // namespace
}  // namespace mervane
