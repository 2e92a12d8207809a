// The compiled index: one that does not belong to the text on disk, or is
// not whole, is never mapped, whatever happened to it.

#include "filter/index_file.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>

#include "filter/snapshot_source.h"
#include "filter/test_environment.h"
#include "gtest/gtest.h"

namespace mervane {
namespace {

namespace fs = std::filesystem;

class IndexFileTest : public ::testing::Test {
 protected:
  IndexFileTest() { fs::create_directories(environment_.Native("c:\\")); }
  // Saves a configuration whose host alpha maps to user_dir, with its index
  // as the administration program saves, or by hand.
  void Save(const std::string& path, const std::string& user_dir,
            bool with_index = true) {
    const std::string text = environment_.Relocated(
        "{ 10.0.0.5:\n{ VIRTUAL_HOSTS:\n{ alpha:\n(string)UserDir=" + user_dir +
        "\n(string)MapScheme=SchemeA\n} alpha;\n} VIRTUAL_HOSTS;\n{ MAIN:\n"
        "(string)WebRoot=d:\\www\n} MAIN;\n} 10.0.0.5;\n");
    const std::string target = environment_.Path(path);
    std::string problem;
    ASSERT_NE(
        platform::Replacement::kFailed,
        platform::ReplaceFileDurably(
            (target + ".tmp").c_str(), target.c_str(), text, &problem,
            with_index ? IndexWritingSteps(target) : platform::ReplaceSteps()))
        << problem;
  }
  std::string MapAlpha(const Snapshot& snapshot) {
    FakeServer server("10.0.0.5", "80", "alpha");
    std::string path = WwwrootPath("/a");
    path.resize(260);
    HTTP_FILTER_URL_MAP record = {"/a", path.data(), 260};
    MappingLog log;
    snapshot.MapUrl(&server, &server, &record, &log);
    return record.pszPhysicalPath;
  }
  fs::path IndexOf(const std::string& path) {
    return environment_.Native(path + ".index");
  }
  // Overwrites the byte at offset (from the end when negative) in place.
  void Patch(std::streamoff offset, char byte) {
    std::fstream index(IndexOf(kPath),
                       std::ios::in | std::ios::out | std::ios::binary);
    index.seekp(offset, offset < 0 ? std::ios::end : std::ios::beg);
    index.put(byte);
  }

  static constexpr char kPath[] = "c:\\mervane.cfg";
  TestEnvironment environment_;
};

TEST_F(IndexFileTest, OnlyAWholeIndexOfTheTextOnDiskIsMapped) {
  const struct {
    const char* name;
    std::function<void()> spoil;
    const char* mapped;  // the user folder the text gives
    const char* why;     // in the notice; null: the index was mapped
  } cases[] = {
      {"saved", [] {}, "good", nullptr},
      {"edited by hand", [&] { Save(kPath, "hand", false); }, "hand",
       "another file or version"},
      {"another file's",
       [&] {
         Save("c:\\other.cfg", "other");
         // Not copy_file's overwrite, which MinGW's library refuses.
         fs::remove(IndexOf(kPath));
         fs::copy_file(IndexOf("c:\\other.cfg"), IndexOf(kPath));
       },
       "good", "another file or version"},
      {"truncated",
       [&] {
         fs::resize_file(IndexOf(kPath), fs::file_size(IndexOf(kPath)) - 64);
       },
       "good", "truncated"},
      {"a flipped byte", [&] { Patch(-70, 'x'); }, "good", "damaged"},
      {"another format version", [&] { Patch(8, 99); }, "good",
       "another version"},
      {"not an index", [&] { std::ofstream(IndexOf(kPath)) << "{ x:\n"; },
       "good", "not an index"},
      {"missing", [&] { fs::remove(IndexOf(kPath)); }, "good",
       "cannot be read"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Save(kPath, "good");
    c.spoil();
    const std::string path = environment_.Path(kPath);
    platform::FileStamp stamp;
    ASSERT_TRUE(platform::QueryFileStamp(path.c_str(), &stamp));
    // An event loop's request must never parse: every text that is read
    // is left to another thread, and no index is.
    FixedParsePlace event_loop(true);
    const SourceLoad left = LoadSnapshotFor(path, stamp, &event_loop);
    EXPECT_EQ(c.why != nullptr, left.parse_elsewhere);
    EXPECT_EQ(c.why != nullptr, left.snapshot == nullptr);

    const SourceLoad load = LoadSnapshotFor(path, stamp, nullptr);
    ASSERT_NE(nullptr, load.snapshot) << load.failure.reason;
    EXPECT_EQ(environment_.Path(std::string("d:\\www\\") + c.mapped + "\\a"),
              MapAlpha(*load.snapshot));
    if (c.why == nullptr) {
      EXPECT_EQ("", load.notice);
    } else {
      EXPECT_NE(std::string::npos, load.notice.find(c.why)) << load.notice;
    }
  }
}

}  // namespace
}  // namespace mervane
