// Which texts survive a save and a reload: the check must agree with the
// file, so each case is also written without the check and read back.

#include "config/storable_text.h"

#include <string>
#include <vector>

#include "config/config_section.h"
#include "config/config_text_file.h"
#include "config/test_util.h"
#include "gtest/gtest.h"

namespace mervane {
namespace {

// kNamePart: an array and value name that only the whole line can refuse.
enum Kind { kSection, kArray, kNamePart, kString, kBlob };

// A root holding text as a name or value of the kind, then an array.
void Build(Kind kind, const std::string& text, ConfigSection* root) {
  const char* t = text.c_str();
  if (kind == kSection) root->AddSection(t)->AddInt("x", 1, nullptr);
  if (kind == kArray || kind == kNamePart) root->AddInt(t, 1, t);
  if (kind == kString) root->AddString("s", t, nullptr);
  if (kind == kBlob) root->AddBlob(t, "x", 1, nullptr);
  root->AddInt("after", 2, nullptr);
}

// Whether root, written without Save's check and reloaded, holds text whole.
bool Survives(Kind kind, const std::string& text, ConfigSection* root) {
  TestFolder folder;
  std::string path = folder.File("reload.cfg");
  {
    ConfigTextFile out(path.c_str(), ConfigTextFile::kWrite);
    root->WriteTo(&out);
  }
  ConfigFile loaded(path.c_str());
  if (!loaded.Load() || loaded.Count() != 2 ||
      loaded.GetArray("after")->FirstInt() != 2) {
    return false;
  }
  ConfigNode* first = loaded.At(1);
  ConfigValue* value = loaded.GetArrayAt(1)->ValueAt(1);
  const bool named = kind == kArray || kind == kNamePart;
  const char* got = named             ? value->Name()
                    : kind == kString ? value->AsString()
                                      : first->Name();
  return got != nullptr && got == text && (!named || first->Name() == text);
}

TEST(StorableTextTest, TheCheckAgreesWithTheFile) {
  const std::string n(126, 'n');  // as "name[name]": 254 characters
  const struct {
    Kind kind;
    std::vector<std::string> storable, refused;
  } kCases[] = {
      {kSection,
       {"MAIN", "a[b]=c|8080", "trailing ", std::string(255, 'n')},
       {"", " lead", "a:b", "a;b", "a\nb", "a\rb", "cr\r",
        std::string(256, 'n')}},
      // Regression: value lines keep what follows ')', but a leading blank
      // was refused, and a file holding one could not be saved at all. A
      // value line keeps a CR before its '='.
      {kArray,
       {"UserDir", "a:b;c", "trailing ", std::string(120, 'n'), " lead",
        "cr\r"},
       {"", "a=b", "a[b", "a]b", "a\nb"}},
      {kNamePart, {n}, {n + "nnnn"}},
      {kString,
       {"plain", "  both ends  ", "x=y; z", std::string(511, 't')},
       {"a\nb", "a\rb", "cr\r", std::string(512, 't')}},
      // A blob's begin line ends its name at ':' and drops blanks before it.
      {kBlob, {"k"}, {"a:b", " lead", "cr\r"}},
  };
  for (const auto& c : kCases) {
    for (bool storable : {true, false}) {
      for (const std::string& text : storable ? c.storable : c.refused) {
        const char* t = text.c_str();
        if (c.kind != kBlob && c.kind != kNamePart) {
          EXPECT_EQ(storable, c.kind == kSection ? IsStorableSectionName(t)
                              : c.kind == kArray ? IsStorableArrayName(t)
                                                 : IsStorableString(t))
              << text;
        }
        ConfigSection root("root");
        Build(c.kind, text, &root);
        EXPECT_EQ(storable, IsStorableTree(root)) << text;
        EXPECT_EQ(storable, Survives(c.kind, text, &root)) << text;
      }
    }
  }
}

// Regression guard: a line longer than the reader's is split, so the check
// counts the indentation of deep sections too.
TEST(StorableTextTest, DeepLinesMustFitTheReader) {
  ConfigSection deep("root");
  ConfigSection* section = &deep;
  std::string path = "s";
  for (int depth = 0; depth < 64; ++depth) section = section->AddSection("s");
  for (int depth = 1; depth < 64; ++depth) path += "/s";
  std::string name(250, 'n');
  section->AddString(name.c_str(), std::string(511, 't').c_str(), nullptr);
  std::string problem;
  EXPECT_FALSE(IsStorableTree(deep, &problem)) << "the line would be split";
  EXPECT_EQ("the text \"" + std::string(60, 't') + "...\" in " + path +
                " cannot be stored",
            problem);
  section->GetArray(name.c_str())->SetFirstString("short");
  EXPECT_TRUE(IsStorableTree(deep));
  section->AddSection("s65");
  EXPECT_FALSE(IsStorableTree(deep, &problem));
  EXPECT_NE(std::string::npos, problem.find("\"s65\"")) << problem;
}

}  // namespace
}  // namespace mervane
