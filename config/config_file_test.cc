// Loading and saving whole configuration files.

#include <memory>
#include <string>

#include "config/config_section.h"
#include "config/test_folder.h"
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

TEST(ConfigFileTest, WritesTheSampleByteForByte) {
  TestFolder folder;
  ConfigFile file(folder.File("mervane.cfg").c_str());
  BuildSample(&file);
  ASSERT_EQ(1, file.Save());
  EXPECT_EQ(kSampleFile, ReadWholeFile(file.Name()));
}

TEST(ConfigFileTest, LoadsTheSampleAndSavesItUnchanged) {
  TestFolder folder;
  std::string path = folder.File("mervane.cfg");
  WriteWholeFile(path, kSampleFile);
  ConfigFile file(path.c_str());
  ASSERT_EQ(1, file.Load());

  ConfigSection* ip = file.GetSection("10.0.0.5");
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

  WriteWholeFile(path, "");
  ASSERT_EQ(1, file.Save());
  EXPECT_EQ(kSampleFile, ReadWholeFile(path));
}

}  // namespace
}  // namespace mervane
