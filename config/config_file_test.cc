// Loading and saving whole configuration files.

#include <signal.h>
#include <sys/resource.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "config/config_section.h"
#include "config/storable_text.h"
#include "config/test_util.h"
#include "gtest/gtest.h"

namespace mervane {
namespace {

// A root holding section 10.0.0.5, which holds MAIN (Log, Disable) and the
// array Sample with one value of each number type and a string.
constexpr char kSampleFile[] =
    "{ 10.0.0.5:\n"
    "    { MAIN:\n"
    "        (string)Log=c:\\logs\\site5.log\n"
    "        (int)Disable=0\n"
    "    } MAIN;\n"
    "    (string)Sample[a]=x=y; z\n"
    "    (double)Sample[b]=2.5\n"
    "    (int64)Sample[big]=7\n"
    "    (float)Sample=1.500000\n"
    "} 10.0.0.5;\n";

void BuildSample(ConfigSection* root) {
  ConfigSection* ip = root->AddSection("10.0.0.5");
  ConfigSection* main = ip->AddSection("MAIN");
  main->AddString("Log", "c:\\logs\\site5.log", nullptr);
  main->AddInt("Disable", 0, nullptr);
  ip->AddString("Sample", "x=y; z", "a");
  ip->AddDouble("Sample", 2.5, "b");
  ip->AddInt64("Sample", 7, "big");
  ip->AddFloat("Sample", 1.5f, nullptr);
}

TEST(ConfigFileTest, SampleRoundTripsByteForByte) {
  EXPECT_EQ(kSampleFile, SavedBytes(BuildSample));
  EXPECT_EQ(kSampleFile, LoadedAndSaved(kSampleFile));
}

TEST(ConfigFileTest, LoadsTheSample) {
  auto file = Loaded(kSampleFile);
  ASSERT_NE(nullptr, file);
  ConfigSection* ip = file->GetSection("10.0.0.5");
  EXPECT_STREQ("c:\\logs\\site5.log",
               ip->GetSection("MAIN")->GetArray("Log")->FirstString());
  ConfigArray* sample = ip->GetArray("Sample");
  ASSERT_EQ(4, sample->Count());
  EXPECT_STREQ("x=y; z", sample->ValueAt(1)->AsString());
  EXPECT_STREQ("a", sample->ValueAt(1)->Name());
  EXPECT_EQ(2.5, sample->ValueAt(2)->AsDouble());
  EXPECT_EQ(7, sample->ValueAt(3)->AsInt64());
  EXPECT_EQ(1.5f, sample->ValueAt(4)->AsFloat());
  EXPECT_EQ(nullptr, sample->ValueAt(4)->Name());
}

TEST(ConfigFileTest, EveryValueTypeSurvivesASaveAndReload) {
  TestFolder folder;
  std::string path = folder.File("types.cfg");
  {
    ConfigFile file(path.c_str());
    ConfigSection* s = file.AddSection("s");
    s->AddInt("i", -2147483647 - 1, nullptr);
    s->AddFloat("f", 0.25f, "named");
    s->AddString("t", " blanks, ; and = ", nullptr);
    s->AddString("t", "", "empty");
    s->AddDouble("d", 6.02214e23, nullptr);
    s->AddInt64("g", INT64_MIN, nullptr);
    s->AddBlob("b", "\x00\x7f\x80\xff", 4, nullptr);
    s->AddBlob("b", "z", 1, "named");
    ASSERT_EQ(1, file.Save());
  }
  ConfigFile file(path.c_str());
  ASSERT_EQ(1, file.Load());
  ConfigSection* s = file.GetSection("s");
  EXPECT_EQ(-2147483647 - 1, s->GetArray("i")->FirstInt());
  EXPECT_EQ(0.25f, s->GetArray("f")->ValueAt(1)->AsFloat());
  EXPECT_STREQ("named", s->GetArray("f")->ValueAt(1)->Name());
  ConfigArray* texts = s->GetArray("t");
  ASSERT_EQ(1, texts->Count()) << "the empty text is dropped";
  EXPECT_STREQ(" blanks, ; and = ", texts->FirstString());
  EXPECT_EQ(6.02214e23, s->GetArray("d")->ValueAt(1)->AsDouble());
  EXPECT_EQ(INT64_MIN, s->GetArray("g")->ValueAt(1)->AsInt64());
  ConfigArray* blobs = s->GetArray("b");
  ASSERT_EQ(2, blobs->Count());
  ASSERT_EQ(4u, blobs->ValueAt(1)->BlobSize());
  EXPECT_EQ(
      std::string("\x00\x7f\x80\xff", 4),
      std::string(static_cast<const char*>(blobs->ValueAt(1)->BlobData()), 4));
  EXPECT_STREQ("named", blobs->ValueAt(2)->Name());
}

TEST(ConfigFileTest, MissingFileLoadsNothing) {
  TestFolder folder;
  ConfigFile file(folder.File("missing.cfg").c_str());
  file.AddSection("kept");
  EXPECT_EQ(0, file.Load());
  EXPECT_EQ(1, file.Count());
}

TEST(ConfigFileTest, SaveCreatesAMissingFile) {
  TestFolder folder;
  ConfigFile file(folder.File("new.cfg").c_str());
  ASSERT_EQ(1, file.Save());
  EXPECT_EQ("", ReadWholeFile(file.Name()));
}

// A folder holding one configuration file with known contents; Save must
// either replace it whole or leave it, and never leave anything else.
class FailingSaveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = folder_.File("mervane.cfg");
    WriteWholeFile(path_, kOldContents);
  }

  void ExpectOldFileAlone() {
    EXPECT_EQ(kOldContents, ReadWholeFile(path_));
    int entries = 0;
    for (const auto& entry :
         std::filesystem::directory_iterator(folder_.Path())) {
      EXPECT_EQ(path_, entry.path().string()) << "left behind";
      ++entries;
    }
    EXPECT_EQ(1, entries);
  }

  static constexpr char kOldContents[] = "{ old:\n} old;\n";
  TestFolder folder_;
  std::string path_;
};

TEST_F(FailingSaveTest, FolderThatIsMissing) {
  ConfigFile file(folder_.File("missing/mervane.cfg").c_str());
  BuildSample(&file);
  EXPECT_EQ(0, file.Save());
  ExpectOldFileAlone();
}

TEST_F(FailingSaveTest, TargetThatCannotBeReplaced) {
  std::string target = folder_.File("dir.cfg");
  std::filesystem::create_directory(target);
  WriteWholeFile(target + "/inside", "");
  ConfigFile file(target.c_str());
  BuildSample(&file);
  EXPECT_EQ(0, file.Save());
  std::filesystem::remove_all(target);
  ExpectOldFileAlone();
}

// Regression: write errors after the open were not reported, and the file
// was left half written. Root ignores permissions, so a file size limit
// makes the writes fail.
TEST_F(FailingSaveTest, WritesThatFail) {
  ConfigFile file(path_.c_str());
  for (int i = 0; i < 1000; ++i) {
    file.AddString("a", "a text long enough to pass the limit", nullptr);
  }
  rlimit old_limit;
  ASSERT_EQ(0, getrlimit(RLIMIT_FSIZE, &old_limit));
  rlimit small = old_limit;
  small.rlim_cur = 4096;
  auto old_handler = signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &small));
  int saved = file.Save();
  setrlimit(RLIMIT_FSIZE, &old_limit);
  signal(SIGXFSZ, old_handler);
  EXPECT_EQ(0, saved);
  ExpectOldFileAlone();
}

TEST_F(FailingSaveTest, TextsTheFileCannotCarry) {
  std::string long_name(256, 'n');
  std::string long_text(512, 't');
  struct Case {
    const char* what;
    void (*build)(ConfigFile*, const std::string&, const std::string&);
  } cases[] = {
      {"section name with ':'",
       [](ConfigFile* f, const std::string&, const std::string&) {
         f->AddSection("a:b");
       }},
      {"unnamed section", [](ConfigFile* f, const std::string&,
                             const std::string&) { f->AddSection(nullptr); }},
      {"array name with '='",
       [](ConfigFile* f, const std::string&, const std::string&) {
         f->AddInt("a=b", 1, nullptr);
       }},
      {"value name with ']'",
       [](ConfigFile* f, const std::string&, const std::string&) {
         f->AddInt("a", 1, "v]");
       }},
      {"string with a line feed",
       [](ConfigFile* f, const std::string&, const std::string&) {
         f->AddString("a", "one\ntwo", nullptr);
       }},
      {"long section name",
       [](ConfigFile* f, const std::string& name, const std::string&) {
         f->AddSection(name.c_str());
       }},
      {"long string",
       [](ConfigFile* f, const std::string&, const std::string& text) {
         f->AddString("a", text.c_str(), nullptr);
       }},
      {"unnamed array with a value",
       [](ConfigFile* f, const std::string&, const std::string&) {
         f->AddArray(nullptr)->AddInt(nullptr, 1);
       }},
      {"siblings sharing a name after a rename",
       [](ConfigFile* f, const std::string&, const std::string&) {
         f->AddSection("a");
         f->AddSection("b")->SetName("A");
       }},
      {"empty blob",
       [](ConfigFile* f, const std::string&, const std::string&) {
         f->AddBlob("k", "", 0, nullptr);
       }},
  };
  for (const Case& c : cases) {
    ConfigFile file(path_.c_str());
    BuildSample(&file);
    c.build(&file, long_name, long_text);
    EXPECT_EQ(0, file.Save()) << c.what;
    ExpectOldFileAlone();
  }
}

}  // namespace
}  // namespace mervane
