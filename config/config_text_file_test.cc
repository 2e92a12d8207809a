// The file format: the reader's line rules, the loader built on them, and
// the writer.

#include "config/config_text_file.h"

#include <memory>
#include <string>

#include "config/config_section.h"
#include "config/test_util.h"
#include "gtest/gtest.h"

namespace mervane {
namespace {

class ConfigTextFileTest : public ::testing::Test {
 protected:
  // A reading stream over text.
  std::unique_ptr<ConfigTextFile> Reader(const std::string& text) {
    std::string path = folder_.File("in.cfg");
    WriteWholeFile(path, text);
    auto stream =
        std::make_unique<ConfigTextFile>(path.c_str(), ConfigTextFile::kRead);
    EXPECT_TRUE(stream->IsOpen());
    return stream;
  }

  // The event of the last line of text, after parsing every line before it.
  int LastEvent(ConfigTextFile* stream) {
    int event = -1;
    while (stream->NextLine()) event = stream->ParseLine();
    return event;
  }

  TestFolder folder_;
};

TEST_F(ConfigTextFileTest, ClassifiesLines) {
  struct Case {
    const char* text;  // the last line is the one classified
    int event;
    const char* name;  // name part stored by the last line, if any
  } cases[] = {
      {"\n", EventNothing, ""},
      {"    \n", EventOther, ""},
      {"free text\n", EventOther, ""},
      {"; a comment\n", EventNothing, ""},
      {"\t  (INT)x=0x1F\n", EventInt, "x"},
      {"(String)s[v]= a=b; c \r\n", EventString, "s[v]"},
      {"(int64)big=0x100000000\n", EventInt64, "big"},
      {"(int)x=abc\n", EventNothing, ""},
      {"(int)x=\n", EventNothing, ""},
      {"(int)=5\n", EventNothing, ""},
      {"(long)x=5\n", EventNothing, ""},
      {"{ MAIN:\n", EventSectionBegin, "MAIN"},
      {"{  blanks kept :\n", EventSectionBegin, "blanks kept "},
      {"{ no colon\r\n", EventSectionBegin, "no colon"},
      {"{MAIN:\n", EventNothing, ""},
      {"{ a:\n} A;\n", EventSectionEnd, "a"},
      {"} a;\n", EventNothing, ""},
      {"{ a:\n{ b:\n} a;\n", EventNothing, "b"},
      {"[ K:\n", EventBlobBegin, "K"},
      {"[ K:\n[ L:\n", EventNothing, "K"},
      {"[ K:\n] k;\n", EventBlobEnd, "K"},
      {"[ K:\n{ a:\n", EventNothing, "K"},
      {"[ K[v]:\n] K;\n", EventBlobEnd, "K[v]"},
      {"[ K[v]:\n] k[V];\n", EventBlobEnd, "K[v]"},
  };
  for (const Case& c : cases) {
    auto stream = Reader(c.text);
    EXPECT_EQ(c.event, LastEvent(stream.get())) << c.text;
    EXPECT_STREQ(c.name, stream->ParsedName(nullptr)) << c.text;
  }
}

TEST_F(ConfigTextFileTest, RejectedLineChangesNothing) {
  auto stream = Reader("(int)a=1\n(int)b=x\n");
  EXPECT_EQ(EventNothing, LastEvent(stream.get()));
  EXPECT_STREQ("a", stream->ParsedName(nullptr));
  EXPECT_EQ(1, stream->IntValue());
  EXPECT_STREQ("1", stream->ValueText());
}

TEST_F(ConfigTextFileTest, SplitsLongLinesAndCutsLongTexts) {
  // The first 1022 characters are one line, the rest the next one.
  std::string line = "(string)pad=" + std::string(1010, 'p') + "(int)x=5\n";
  std::string long_name(300, 'n');
  std::string text = line + "{ " + long_name + ":\n(int)in=1\n} " + long_name +
                     ";\n(int)out=2\n";
  auto file = Loaded(text);
  ASSERT_NE(nullptr, file);
  EXPECT_EQ(std::string(511, 'p'), file->GetArray("pad")->FirstString());
  EXPECT_EQ(5, file->GetArray("x")->FirstInt());
  ConfigSection* cut = file->GetSection(std::string(255, 'n').c_str());
  EXPECT_EQ(1, cut->GetArray("in")->FirstInt());
  EXPECT_EQ(2, file->GetArray("out")->FirstInt()) << "the end line matched";
}

TEST_F(ConfigTextFileTest, LoadsByTheReadersRules) {
  struct Case {
    const char* input;
    const char* saved;
  } cases[] = {
      // Sections without values stay.
      {"{ a:\n{ b:\n} b;\n} a;\n", "{ a:\n    { b:\n    } b;\n} a;\n"},
      // CR LF line ends and any indentation.
      {"{ a:\r\n\t(string)s=v\r\n} a;\r\n", "{ a:\n    (string)s=v\n} a;\n"},
      // A bad begin line: its values land outside, its end line is ignored.
      {"{ s:\n{a:\n(int)x=1\n} a;\n} s;\n", "{ s:\n    (int)x=1\n} s;\n"},
      // End lines match in any letter case.
      {"{ MAIN:\n(int)x=1\n} main;\n(int)y=2\n",
       "{ MAIN:\n    (int)x=1\n} MAIN;\n(int)y=2\n"},
      // An unmatched end line leaves its section open.
      {"{ a:\n} b;\n(int)x=1\n} a;\n(int)y=2\n",
       "{ a:\n    (int)x=1\n} a;\n(int)y=2\n"},
      // A section that occurs twice is merged.
      {"{ a:\n(int)x=1\n} a;\n{ A:\n(int)y=2\n} A;\n",
       "{ a:\n    (int)x=1\n    (int)y=2\n} a;\n"},
      // A named value is kept once, unnamed ones all.
      {"(int)a[v]=1\n(int)a[V]=2\n(int)b=1\n(int)b=2\n",
       "(int)a[v]=1\n(int)b=1\n(int)b=2\n"},
      // Comments, free text and empty strings are dropped.
      {"; note\nhello\n(string)s=\n(int)x=1\n", "(int)x=1\n"},
      // A truncated file keeps what was read.
      {"{ a:\n(int)x=1\n", "{ a:\n    (int)x=1\n} a;\n"},
      // Numbers are read as "%i" reads them and written back in the
      // writer's formats.
      {"(INT)x=0x1F\n(int)y=010\n(int)z=08\n(double)d=0.1234567\n"
       "(float)f=-2\n(int64)g=12345678901\n",
       "(int)x=31\n(int)y=8\n(int)z=0\n(double)d=0.123457\n"
       "(float)f=-2.000000\n(int64)g=12345678901\n"},
      // Named values keep their name; an empty value name is none.
      {"(string)a[v]=x\n(string)a[]=y\n", "(string)a[v]=x\n(string)a=y\n"},
      // A value whose array name is held by a section is dropped.
      {"{ a:\n} a;\n(int)a=1\n", "{ a:\n} a;\n"},
      // A section whose name is held by an array: its lines go to the
      // enclosing section, and its end line ends that one.
      {"(int)a=1\n{ a:\n(int)b=2\n} a;\n(int)c=3\n", "(int)a=1\n(int)b=2\n"},
      // Blobs: every line counts towards the size; the bytes of the lines
      // with a number come first, the rest are 0.
      {"[ K:\n1\nA0\nFF\n] K;\n", "[ K:\n1\nA0\nFF\n] K;\n"},
      {"[ K:\n1\nzz\n 0x1ff\n] K;\n", "[ K:\n1\nFF\n0\n] K;\n"},
      {"[ K[v]:\n7\n] K;\n", "[ K[v]:\n7\n] K;\n"},
      {"[ K:\n] K;\n(int)x=1\n", "(int)x=1\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.saved, LoadedAndSaved(c.input)) << c.input;
  }
}

}  // namespace
}  // namespace mervane
