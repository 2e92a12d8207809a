// Which texts survive a save and a reload: each rule is checked against what
// the writer and the reader really do with the text.

#include "config/storable_text.h"

#include <memory>
#include <string>

#include "config/config_section.h"
#include "config/config_text_file.h"
#include "config/test_util.h"
#include "gtest/gtest.h"

namespace mervane {
namespace {

// The check must agree with the file: what it accepts comes back, what it
// refuses does not (empty strings aside, which are dropped on purpose).
struct Case {
  std::string text;
  bool storable;
  bool survives;  // comes back unchanged when written without the check
};

class StorableTextTest : public ::testing::Test {
 protected:
  // root written as it is, without Save's check, and loaded again.
  std::unique_ptr<ConfigFile> Reload(ConfigSection* root) {
    std::string path = folder_.File("reload.cfg");
    {
      ConfigTextFile out(path.c_str(), ConfigTextFile::kWrite);
      root->WriteTo(&out);
    }
    auto loaded = std::make_unique<ConfigFile>(path.c_str());
    EXPECT_EQ(1, loaded->Load());
    return loaded;
  }

  TestFolder folder_;
};

TEST_F(StorableTextTest, SectionNames) {
  const Case cases[] = {
      {"MAIN", true, true},
      {"alpha|8080", true, true},
      {"a[b]=c", true, true},
      {"trailing ", true, true},
      {std::string(255, 'n'), true, true},
      {"", false, false},
      {" lead", false, false},
      {"\tlead", false, false},
      {"a:b", false, false},
      {"a;b", false, false},
      {"a\nb", false, false},
      {"a\rb", false, false},
      {"cr\r", false, false},
      {std::string(256, 'n'), false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.storable, IsStorableSectionName(c.text.c_str())) << c.text;
    ConfigSection root("root");
    root.AddSection(c.text.c_str())->AddInt("x", 1, nullptr);
    root.AddInt("after", 2, nullptr);
    auto loaded = Reload(&root);
    const char* name = loaded->GetSectionAt(1)->Name();
    bool same = loaded->Count() == 2 && name != nullptr && name == c.text &&
                loaded->GetArray("after")->FirstInt() == 2;
    EXPECT_EQ(c.survives, same) << c.text;
    EXPECT_EQ(c.storable, IsStorableTree(root)) << c.text;
  }
}

TEST_F(StorableTextTest, ArrayAndValueNames) {
  const Case cases[] = {
      {"UserDir", true, true},
      {"a:b;c", true, true},
      {"trailing ", true, true},
      {std::string(200, 'n'), true, true},
      {" lead", true, true},  // value lines keep what follows ')'
      {"\tlead", true, true},
      {"cr\r", true, true},  // a value line keeps a CR before its '='
      {"", false, false},
      {"a=b", false, false},
      {"a[b", false, false},
      {"a]b", false, false},
      {"a\nb", false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.storable, IsStorableArrayName(c.text.c_str())) << c.text;
    ConfigSection root("root");
    root.AddInt(c.text.c_str(), 1, "v");
    root.AddInt("plain", 1, c.text.c_str());
    auto loaded = Reload(&root);
    const char* array_name = loaded->GetArrayAt(1)->Name();
    const char* value_name = loaded->GetArray("plain")->ValueAt(1)->Name();
    bool same = array_name != nullptr && array_name == c.text &&
                value_name != nullptr && value_name == c.text;
    EXPECT_EQ(c.survives, same) << c.text;
    EXPECT_EQ(c.storable, IsStorableTree(root)) << c.text;
  }
}

TEST_F(StorableTextTest, NamePartsAndBlobNamesFitTheReader) {
  ConfigSection root("root");
  root.AddInt(std::string(200, 'a').c_str(), 1, std::string(53, 'v').c_str());
  root.AddBlob("k", "x", 1, "v");
  EXPECT_TRUE(IsStorableTree(root));
  for (const char* name : {"a:b", " lead", "cr\r"}) {
    root.AddBlob(name, "x", 1, nullptr);
    EXPECT_FALSE(IsStorableTree(root)) << "a blob's begin line cuts " << name;
    root.RemoveByName(name);
  }
  root.AddInt(std::string(200, 'b').c_str(), 1, std::string(54, 'v').c_str());
  EXPECT_FALSE(IsStorableTree(root)) << "name part of 256 characters";
}

TEST_F(StorableTextTest, Strings) {
  const Case cases[] = {
      {"plain", true, true},  {"  both ends  ", true, true},
      {"x=y; z", true, true}, {std::string(511, 't'), true, true},
      {"", true, false},  // dropped on reload, as intended
      {"a\nb", false, false}, {"a\rb", false, false},
      {"cr\r", false, false}, {std::string(512, 't'), false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.storable, IsStorableString(c.text.c_str())) << c.text;
    ConfigSection root("root");
    root.AddString("s", c.text.c_str(), nullptr);
    auto loaded = Reload(&root);
    const char* text = loaded->GetArray("s")->FirstString();
    EXPECT_EQ(c.survives, text != nullptr && text == c.text) << c.text;
    EXPECT_EQ(c.storable, IsStorableTree(root)) << c.text;
  }
}

TEST_F(StorableTextTest, DeepTreesKeepTheirLinesWholeUpToTheNestingLimit) {
  ConfigSection root("root");
  ConfigSection* section = &root;
  for (int depth = 0; depth < 64; ++depth) section = section->AddSection("s");
  std::string name(250, 'n');
  section->AddString(name.c_str(), std::string(511, 't').c_str(), nullptr);
  std::string problem;
  EXPECT_FALSE(IsStorableTree(root, &problem)) << "the line would be split";
  std::string path = "s";
  for (int depth = 1; depth < 64; ++depth) path += "/s";
  EXPECT_EQ("the text \"" + std::string(60, 't') + "...\" in " + path +
                " cannot be stored",
            problem);
  section->GetArray(name.c_str())->SetFirstString("short");
  EXPECT_TRUE(IsStorableTree(root));
  section->AddSection("s65");
  EXPECT_FALSE(IsStorableTree(root, &problem));
  EXPECT_NE(std::string::npos, problem.find("\"s65\"")) << problem;
}

}  // namespace
}  // namespace mervane
