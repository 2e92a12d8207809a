// Slots, holes and names of ConfigList, for short lists (searched slot by
// slot) and long ones (searched through the name index).

#include "config/config_list.h"

#include <memory>
#include <string>

#include "gtest/gtest.h"

namespace mervane {
namespace {

class ConfigListTest : public ::testing::TestWithParam<int> {
 protected:
  // GetParam() children named c1, c2, ... in slots 1, 2, ...
  void SetUp() override {
    for (int i = 1; i <= GetParam(); ++i) {
      ASSERT_EQ(i,
                list_.Add(new ConfigNode(("c" + std::to_string(i)).c_str())));
    }
  }
  ConfigList list_;
};

TEST_P(ConfigListTest, FindsByNameInAnyLetterCaseAndFillsHolesLowestFirst) {
  for (int i = 1; i <= GetParam(); ++i) {
    EXPECT_EQ(i, list_.IndexOf(("C" + std::to_string(i)).c_str())) << i;
  }
  auto twin = std::make_unique<ConfigNode>("C1");
  EXPECT_EQ(0, list_.Add(twin.get())) << "differs only in case";
  EXPECT_EQ(3, list_.Remove(3));
  EXPECT_EQ(2, list_.RemoveByName("C2"));
  EXPECT_EQ(GetParam(), list_.Count());
  EXPECT_EQ(nullptr, list_.Find("c3"));
  for (int index : {0, -1, 2, GetParam() + 1}) {
    EXPECT_EQ(0, list_.Remove(index)) << index;
  }
  EXPECT_EQ(2, list_.Add(new ConfigNode("a")));
  EXPECT_EQ(3, list_.Add(new ConfigNode(nullptr)));
  EXPECT_EQ(GetParam() + 1, list_.Add(new ConfigNode("")));
  EXPECT_EQ(0, list_.IndexOf("")) << "unnamed children are never found";
  // Only ASCII letters fold: neither these bytes nor '@' and '`' (32 apart).
  list_.Add(new ConfigNode("\xC4@"));
  EXPECT_EQ(0, list_.IndexOf("\xE4@"));
  EXPECT_EQ(0, list_.IndexOf("\xC4`"));
  EXPECT_EQ(0, list_.IndexOf("\xC4@x")) << "a longer name";
}

// Regression guard for the name index: a renamed child must be found by its
// new name only, and a name shared after a rename by its lowest slot.
TEST_P(ConfigListTest, RenamedChildIsFoundByItsNewNameOnly) {
  list_.At(2)->SetName("Renamed");
  EXPECT_EQ(0, list_.IndexOf("c2"));
  EXPECT_EQ(2, list_.IndexOf("renamed"));
  list_.At(2)->SetName("");
  EXPECT_EQ(0, list_.IndexOf("renamed"));
  list_.At(3)->SetName("C1");
  EXPECT_EQ(1, list_.IndexOf("c1"));
  list_.Remove(1);
  EXPECT_EQ(3, list_.IndexOf("c1"));
}

INSTANTIATE_TEST_SUITE_P(ShortAndIndexed, ConfigListTest,
                         ::testing::Values(3, 200));

}  // namespace
}  // namespace mervane
