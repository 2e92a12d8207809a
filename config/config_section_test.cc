// The shared null nodes that lookups of missing names end in. (Lookups of
// the other kind are reached through the administration program's rows.)

#include "config/config_section.h"

#include <memory>

#include "gtest/gtest.h"

namespace mervane {
namespace {

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
  EXPECT_EQ(0, section->Count() + array->Count());
  EXPECT_EQ(nullptr, section->Name());
  EXPECT_EQ(nullptr, array->Name());
  EXPECT_EQ(nullptr, value->Name());
  EXPECT_EQ(TypeNull, value->Type());
  EXPECT_EQ(nullptr, array->FirstString());
}

}  // namespace
}  // namespace mervane
