// Slots, holes, names and the name index of ConfigList.

#include "config/config_list.h"

#include <memory>
#include <string>

#include "gtest/gtest.h"

namespace mervane {
namespace {

// Lists of both sizes: short ones are searched slot by slot, long ones
// through the name index.
class ConfigListTest : public ::testing::TestWithParam<int> {
 protected:
  // A list of GetParam() children named c1, c2, ... in slots 1, 2, ...
  void SetUp() override {
    for (int i = 1; i <= GetParam(); ++i) {
      ASSERT_EQ(i, list_.Add(new ConfigNode(Name(i).c_str())));
    }
  }
  static std::string Name(int i) { return "c" + std::to_string(i); }

  ConfigList list_;
};

TEST_P(ConfigListTest, FindsEveryChildInAnyLetterCase) {
  for (int i = 1; i <= GetParam(); ++i) {
    EXPECT_EQ(i, list_.IndexOf(Name(i).c_str())) << Name(i);
    EXPECT_EQ(i, list_.IndexOf(("C" + std::to_string(i)).c_str()));
  }
  EXPECT_EQ(0, list_.IndexOf("c0"));
  EXPECT_EQ(0, list_.IndexOf(nullptr));
}

TEST_P(ConfigListTest, RefusesANameThatDiffersOnlyInCase) {
  auto twin = std::make_unique<ConfigNode>("C1");
  EXPECT_EQ(0, list_.Add(twin.get()));
  EXPECT_EQ(GetParam(), list_.Count());
  EXPECT_STREQ("c1", list_.Find("C1")->Name());
}

TEST_P(ConfigListTest, RemoveLeavesAHoleThatTheNextAddFills) {
  EXPECT_EQ(2, list_.Remove(2));
  EXPECT_EQ(GetParam(), list_.Count());
  EXPECT_EQ(nullptr, list_.At(2));
  EXPECT_EQ(nullptr, list_.Find("c2"));
  EXPECT_EQ(0, list_.Remove(2)) << "an empty slot";
  EXPECT_EQ(2, list_.Add(new ConfigNode("new")));
  EXPECT_EQ(2, list_.IndexOf("NEW"));
  EXPECT_EQ(GetParam() + 1, list_.Add(new ConfigNode("next")));
}

TEST_P(ConfigListTest, FillsTheLowestHoleFirst) {
  list_.RemoveByName("c3");
  list_.RemoveByName("c1");
  list_.RemoveByName("c2");
  EXPECT_EQ(1, list_.Add(new ConfigNode("a")));
  EXPECT_EQ(2, list_.Add(new ConfigNode("b")));
  EXPECT_EQ(3, list_.Add(new ConfigNode("c")));
  EXPECT_EQ(GetParam() + 1, list_.Add(new ConfigNode("d")));
}

TEST_P(ConfigListTest, RefusesIndicesOutOfRange) {
  for (int index : {0, -1, GetParam() + 1}) {
    EXPECT_EQ(nullptr, list_.At(index)) << index;
    EXPECT_EQ(0, list_.Remove(index)) << index;
  }
  EXPECT_EQ(0, list_.RemoveByName("missing"));
}

TEST_P(ConfigListTest, RenamedChildIsFoundByItsNewNameOnly) {
  list_.At(2)->SetName("Renamed");
  EXPECT_EQ(0, list_.IndexOf("c2"));
  EXPECT_EQ(2, list_.IndexOf("renamed"));
  list_.At(2)->SetName("");
  EXPECT_EQ(nullptr, list_.At(2)->Name());
  EXPECT_EQ(0, list_.IndexOf("renamed"));
  list_.At(2)->SetName("c2");
  EXPECT_EQ(2, list_.IndexOf("C2"));
}

TEST_P(ConfigListTest, NameSharedAfterARenameFindsTheLowestSlot) {
  list_.At(3)->SetName("C1");
  EXPECT_EQ(1, list_.IndexOf("c1"));
  list_.Remove(1);
  EXPECT_EQ(3, list_.IndexOf("c1"));
}

TEST_P(ConfigListTest, UnnamedChildrenCoexistAndAreNeverFound) {
  int first = list_.Add(new ConfigNode(""));
  int second = list_.Add(new ConfigNode(nullptr));
  EXPECT_NE(0, first);
  EXPECT_EQ(first + 1, second);
  EXPECT_EQ(0, list_.IndexOf(""));
}

TEST_P(ConfigListTest, CloneDropsHolesAndKeepsOrder) {
  list_.Remove(2);
  std::unique_ptr<ConfigNode> copy(list_.Clone());
  auto* clone = static_cast<ConfigList*>(copy.get());
  ASSERT_EQ(GetParam() - 1, clone->Count());
  EXPECT_STREQ("c1", clone->At(1)->Name());
  EXPECT_STREQ("c3", clone->At(2)->Name());
  EXPECT_EQ(2, clone->IndexOf("C3"));
}

INSTANTIATE_TEST_SUITE_P(ShortAndIndexed, ConfigListTest,
                         ::testing::Values(3, 200));

TEST(ConfigNodeTest, StoresNoEmptyName) {
  ConfigNode node("");
  EXPECT_EQ(nullptr, node.Name());
  node.SetName("x");
  EXPECT_STREQ("x", node.Name());
}

TEST(CompareNamesIgnoringCaseTest, FoldsAsciiLettersOnly) {
  struct Case {
    const char* a;
    const char* b;
    bool equal;
  } cases[] = {
      {"MAIN", "main", true},  {"Disable", "dISABLE", true},
      {"a[1]", "A[1]", true},  {"@", "`", false},
      {"\xC4", "\xE4", false}, {"abc", "abcd", false},
      {"", "", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.equal, CompareNamesIgnoringCase(c.a, c.b) == 0) << c.a;
    if (c.equal) {
      EXPECT_EQ(HashNameIgnoringCase(c.a), HashNameIgnoringCase(c.b)) << c.a;
    }
  }
}

}  // namespace
}  // namespace mervane
