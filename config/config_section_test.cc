// Typed lookups of sections and arrays, and the shared null nodes that
// lookups of missing names end in.

#include "config/config_section.h"

#include <memory>

#include "gtest/gtest.h"

namespace mervane {
namespace {

// (Adding a name that the other kind holds is refused through the
// administration program's actions.)
TEST(ConfigSectionTest, LookupsOfTheOtherKindGiveNullNodes) {
  ConfigSection root("root");
  root.AddArray("Log");
  root.AddSection("MAIN");
  EXPECT_EQ(NullSection(), root.GetSection("log"));
  EXPECT_EQ(NullArray(), root.GetArray("main"));
  EXPECT_EQ(NullSection(), root.GetSectionAt(1));
  EXPECT_EQ(NullArray(), root.GetArrayAt(2));
  EXPECT_EQ(NullArray(), root.GetSection("x")->GetSection("y")->GetArray("z"));
  EXPECT_EQ(nullptr, NullArray()->FirstString());
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
