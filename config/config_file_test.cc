// Loading and saving whole configuration files.

#include <cstdint>
#include <filesystem>
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

TEST(ConfigFileTest, MissingFileLoadsNothing) {
  TestFolder folder;
  ConfigFile file(folder.File("missing.cfg").c_str());
  file.AddSection("kept");
  EXPECT_EQ(0, file.Load());
  EXPECT_EQ(1, file.Count());
}

// Regression: a file bound to an empty path (an empty registry value) threw
// from deep inside the path translation.
TEST(ConfigFileTest, EmptyPathNeitherLoadsNorSaves) {
  ConfigFile file("");
  EXPECT_EQ(0, file.Load());
  EXPECT_EQ(0, file.Save());
}

// Regression guard: a Save that fails must leave the old file whole and
// nothing beside it, and say why: a text and where it sits, or the file the
// system refused.
TEST(ConfigFileTest, FailingSavesLeaveTheOldFileAloneAndSayWhy) {
  constexpr char kOld[] = "{ old:\n} old;\n";
  TestFolder folder;
  std::string path = folder.File("mervane.cfg");
  WriteWholeFile(path, kOld);
  std::string directory = folder.File("dir.cfg");
  std::filesystem::create_directory(directory);
  WriteWholeFile(directory + "/inside", "");
  const std::string missing = folder.File("missing/mervane.cfg");

  ConfigFile missing_folder(missing.c_str());
  ConfigFile cannot_replace(directory.c_str());
  // Texts the file cannot carry; the full list is in storable_text_test.cc.
  ConfigFile colon(path.c_str());
  colon.AddSection("s")->AddSection("a:b");
  ConfigFile shared(path.c_str());
  shared.AddSection("a");
  shared.AddSection("b")->SetName("A");  // a reload would merge the two
  const struct {
    ConfigFile* file;
    std::string reason;  // its beginning, for the system's texts
  } cases[] = {
      {&missing_folder, missing + ".tmp: "},
      {&cannot_replace, directory + ": "},
      {&colon, "the section name \"a:b\" in s cannot be stored"},
      {&shared, "the section name \"A\" in the top level cannot be stored"},
  };
  for (const auto& c : cases) {
    std::string reason;
    EXPECT_EQ(0, c.file->Save(&reason)) << c.reason;
    EXPECT_EQ(c.reason, reason.substr(0, c.reason.size()));
    EXPECT_LT(c.reason.size() - 2, reason.size()) << "the system's text";
  }
  std::filesystem::remove_all(directory);
  EXPECT_TRUE(HoldsOnly(folder, path, kOld));
}

// Regression: the loader recursed once per level, so a deep enough file
// overflowed a request thread's stack and killed the web server.
TEST(ConfigFileTest, FilesNestedDeeperThan64SectionsAreNotLoaded) {
  for (int levels : {64, 65, 100, 200000}) {
    std::string text;
    for (int level = 0; level < levels; ++level) text += "{ s:\n";
    text += "(int)deepest=1\n";
    auto loaded = Loaded(text);
    EXPECT_EQ(levels <= 64, loaded != nullptr) << levels;
  }
}

}  // namespace
}  // namespace mervane
