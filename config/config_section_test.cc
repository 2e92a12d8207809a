// Sections and arrays: typed lookups, the Add family, SetFirst, and the
// shared null nodes that lookups of missing names end in.

#include "config/config_section.h"

#include <memory>

#include "gtest/gtest.h"

namespace mervane {
namespace {

TEST(ConfigSectionTest, LookupsOfMissingNamesOrTheOtherKindGiveNullNodes) {
  ConfigSection root("root");
  ConfigArray* array = root.AddArray("Log");
  ConfigSection* main = root.AddSection("MAIN");
  ASSERT_NE(nullptr, array);
  ASSERT_NE(nullptr, main);
  EXPECT_EQ(NullArray(), root.GetSection("x")->GetSection("y")->GetArray("z"));
  EXPECT_EQ(nullptr, NullArray()->FirstString());
  EXPECT_EQ(NullSection(), root.GetSection("log"));
  EXPECT_EQ(nullptr, root.AddSection("LOG"));
  EXPECT_EQ(array, root.AddArray("LOG"));
  EXPECT_EQ(NullArray(), root.GetArray("main"));
  EXPECT_EQ(nullptr, root.AddArray("main"));
  EXPECT_EQ(main, root.AddSection("main"));
  EXPECT_EQ(NullSection(), root.GetSectionAt(1));
  EXPECT_EQ(NullArray(), root.GetArrayAt(2));
  EXPECT_EQ(0, root.AddInt("main", 5, nullptr)) << "array name held";
  EXPECT_EQ(2, root.Count());
}

TEST(ConfigArrayTest, SetFirstAddsOnlyWhenTheTypeIsMissing) {
  ConfigArray array("a");
  array.AddFloat(nullptr, 1.5f);
  array.SetFirstInt(7);
  array.SetFirstInt(8);
  ASSERT_EQ(2, array.Count());
  EXPECT_EQ(1.5f, array.ValueAt(1)->AsFloat());
  EXPECT_EQ(8, array.FirstInt());
  array.SetFirstString(nullptr);
  EXPECT_STREQ("", array.FirstString()) << "added as the empty text";
  array.SetFirstString(nullptr);
  EXPECT_STREQ("0", array.FirstString()) << "an existing string becomes 0";
  EXPECT_EQ(3, array.Count());
}

// Regression: the shared null nodes must refuse every edit, or one caller
// that skips IsNull() changes what every other lookup returns.
TEST(NullNodeTest, RefuseEveryEdit) {
  ConfigSection* section = NullSection();
  ConfigArray* array = NullArray();
  ConfigValue* value = NullValue();
  EXPECT_EQ(nullptr, section->AddSection("s"));
  EXPECT_EQ(nullptr, section->AddArray("a"));
  EXPECT_EQ(0, section->AddString("a", "x", nullptr));
  auto child = std::make_unique<ConfigSection>("c");
  EXPECT_EQ(0, section->Add(child.get()));
  section->SetName("named");
  array->AddInt(nullptr, 1);
  array->SetFirstInt(1);
  array->SetFirstString("x");
  array->SetName("named");
  value->SetFromInt(3);
  value->SetFromString("3");
  value->SetName("named");
  EXPECT_EQ(nullptr, value->SetString("x"));
  for (ConfigGroup* group :
       {static_cast<ConfigGroup*>(section), static_cast<ConfigGroup*>(array)}) {
    EXPECT_EQ(0, group->Count());
    EXPECT_EQ(nullptr, group->Name());
  }
  EXPECT_EQ(nullptr, value->Name());
  EXPECT_EQ(TypeNull, value->Type());
}

}  // namespace
}  // namespace mervane
