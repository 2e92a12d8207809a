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

// Regression: a file bound to an empty path (an empty registry value) threw
// from deep inside the path translation.
TEST(ConfigFileTest, EmptyPathNeitherLoadsNorSaves) {
  ConfigFile file("");
  EXPECT_EQ(0, file.Load());
  EXPECT_EQ(0, file.Save());
}

// Regression guard: a Save that fails must leave the old file whole and
// nothing beside it.
TEST(ConfigFileTest, FailingSavesLeaveTheOldFileAlone) {
  constexpr char kOld[] = "{ old:\n} old;\n";
  TestFolder folder;
  std::string path = folder.File("mervane.cfg");
  WriteWholeFile(path, kOld);

  ConfigFile missing_folder(folder.File("missing/mervane.cfg").c_str());
  BuildSample(&missing_folder);
  EXPECT_EQ(0, missing_folder.Save());

  std::string directory = folder.File("dir.cfg");
  std::filesystem::create_directory(directory);
  WriteWholeFile(directory + "/inside", "");
  ConfigFile cannot_replace(directory.c_str());
  BuildSample(&cannot_replace);
  EXPECT_EQ(0, cannot_replace.Save());
  std::filesystem::remove_all(directory);

  // Texts the file cannot carry; the full list is in storable_text_test.cc.
  ConfigFile colon(path.c_str());
  colon.AddSection("a:b");
  EXPECT_EQ(0, colon.Save());
  ConfigFile shared(path.c_str());
  shared.AddSection("a");
  shared.AddSection("b")->SetName("A");
  EXPECT_EQ(0, shared.Save()) << "a reload would merge the two";
  EXPECT_TRUE(HoldsOnly(folder, path, kOld));
}

}  // namespace
}  // namespace mervane
