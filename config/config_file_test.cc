// Loading and saving whole configuration files: the reader's rules, the
// writer's formats, and loads and saves that fail.

#include <filesystem>
#include <string>

#include "config/config_section.h"
#include "config/test_util.h"
#include "gtest/gtest.h"

namespace mervane {
namespace {

// Each text is loaded and saved; saving that again must give the same bytes.
TEST(ConfigFileTest, LoadsByTheReadersRulesAndRoundTrips) {
  const std::string n300(300, 'n');
  const struct {
    std::string input, saved;  // saved: "" when it is the input
  } kCases[] = {
      // Sections without values stay; CR LF and any indentation.
      {"{ a:\r\n\t{ b:\n  } b;\r\n} a;\n", "{ a:\n    { b:\n    } b;\n} a;\n"},
      // Blanks around a value and after a name stay, before a name not.
      {"(String)s[v]= a=b; c \r\n{  k :\n(int)x=1\n} k ;\n{ no colon\n",
       "(string)s[v]= a=b; c \n{ k :\n    (int)x=1\n} k ;\n{ no colon:\n} "
       "no colon;\n"},
      // Bad begin lines: their values land outside, their ends are ignored.
      {"{ s:\n{a:\n(int)x=1\n} a;\n} s;\n", "{ s:\n    (int)x=1\n} s;\n"},
      // End lines match in any letter case, and only the open section.
      {"{ MAIN:\n(int)x=1\n} main;\n(int)y=2\n",
       "{ MAIN:\n    (int)x=1\n} MAIN;\n(int)y=2\n"},
      {"{ a:\n{ b:\n} a;\n(int)x=1\n} b;\n} a;\n(int)y=2\n",
       "{ a:\n    { b:\n        (int)x=1\n    } b;\n} a;\n(int)y=2\n"},
      // A section that occurs twice is merged.
      {"{ a:\n(int)x=1\n} a;\n{ A:\n(int)y=2\n} A;\n",
       "{ a:\n    (int)x=1\n    (int)y=2\n} a;\n"},
      // A named value is kept once, unnamed ones all; an empty name is none.
      {"(int)a[v]=1\n(int)a[V]=2\n(int)b=1\n(int)b=2\n(int)b[]=3\n",
       "(int)a[v]=1\n(int)b=1\n(int)b=2\n(int)b=3\n"},
      // Comments, free text, empty strings and bad value lines are dropped.
      {"; note\nhello\n   \n(string)s=\n(int)x=abc\n(int)x=\n(int)=5\n"
       "(long)x=5\n(int)x=1\n",
       "(int)x=1\n"},
      // A truncated file keeps what was read.
      {"{ a:\n(int)x=1\n", "{ a:\n    (int)x=1\n} a;\n"},
      // Numbers read as "%i" reads them; one array may hold every type.
      {"(INT)x=0x1F\n(int)x=010\n(int)x=08\n(double)x=0.1234567\n"
       "(float)x=-2\n(int64)x=12345678901\n(string)x=s\n",
       "(int)x=31\n(int)x=8\n(int)x=0\n(double)x=0.123457\n"
       "(float)x=-2.000000\n(int64)x=12345678901\n(string)x=s\n"},
      // A name held by the other kind: the value is dropped; the section's
      // lines go to the enclosing one, whose end its end line takes.
      {"{ a:\n} a;\n(int)a=1\n", "{ a:\n} a;\n"},
      {"(int)a=1\n{ a:\n(int)b=2\n} a;\n(int)c=3\n", "(int)a=1\n(int)b=2\n"},
      // Blobs: every line counts towards the size, but only numbers give
      // bytes (the rest are 0); begin lines inside one are lines.
      {"[ K:\n1\nzz\n 0x1ff\n] K;\n", "[ K:\n1\nFF\n0\n] K;\n"},
      {"[ K[v]:\n7\n[ L:\n{ a:\n] k[V];\n", "[ K[v]:\n7\n0\n0\n] K;\n"},
      {"[ K:\n] K;\n(int)x=1\n", "(int)x=1\n"},
      // Lines past 1022 characters go on as the next line; texts are cut at
      // 511, names at 255, and the end line of a cut name still matches.
      {"(string)p=" + std::string(1012, 'p') + "(int)x=5\n{ " + n300 +
           ":\n(int)i=1\n} " + n300 + ";\n(int)o=2\n",
       "(string)p=" + std::string(511, 'p') + "\n(int)x=5\n{ " +
           n300.substr(45) + ":\n    (int)i=1\n} " + n300.substr(45) +
           ";\n(int)o=2\n"},
  };
  for (const auto& c : kCases) {
    const std::string saved = c.saved.empty() ? c.input : c.saved;
    EXPECT_EQ(saved, Resaved(c.input)) << c.input;
    EXPECT_EQ(saved, Resaved(saved)) << c.input;
  }
}

// Regression guard: a failed Save leaves the old file whole and nothing
// beside it, and says why: the text it cannot store, or the system's error.
TEST(ConfigFileTest, FailingSavesLeaveTheOldFileAloneAndSayWhy) {
  TestFolder folder;
  const std::string path = folder.File("mervane.cfg");
  WriteWholeFile(path, "{ old:\n} old;\n");
  ConfigFile shared(path.c_str());
  shared.AddSection("a");
  shared.AddSection("b")->SetName("A");  // a reload would merge the two
  std::string reason;
  EXPECT_EQ(0, shared.Save(&reason));
  EXPECT_EQ("the section name \"A\" in the top level cannot be stored", reason);
  const std::string directory = folder.File("dir.cfg");
  std::filesystem::create_directories(directory + "/inside");
  EXPECT_EQ(0, ConfigFile(directory.c_str()).Save(&reason));
  EXPECT_EQ(directory + ": ", reason.substr(0, directory.size() + 2));
  EXPECT_LT(directory.size() + 2, reason.size()) << "the system's text";
  std::filesystem::remove_all(directory);
  EXPECT_EQ(
      1, std::distance(std::filesystem::directory_iterator(folder.Path()), {}));
  EXPECT_EQ("{ old:\n} old;\n", ReadWholeFile(path));
}

// Regression: the loader recursed once per level, so a deep enough file
// overflowed a request thread's stack and killed the web server.
TEST(ConfigFileTest, FilesNestedDeeperThan64SectionsAreNotLoaded) {
  for (int levels : {64, 65, 200000}) {
    std::string text;
    for (int level = 0; level < levels; ++level) text += "{ s:\n";
    EXPECT_EQ(levels <= 64, Resaved(text) != "(load failed)") << levels;
  }
}

}  // namespace
}  // namespace mervane
