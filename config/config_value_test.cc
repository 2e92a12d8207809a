// The two setters that convert: SetFromInt and SetFromString store a value
// in the value's own type; the getters never convert.

#include "config/config_value.h"

#include <cstdint>

#include "gtest/gtest.h"

namespace mervane {
namespace {

// One value of every type, each holding something nonzero.
struct AllTypes {
  ConfigValue null_value;
  ConfigValue int_value{int32_t{3}};
  ConfigValue float_value{2.5f};
  ConfigValue string_value{"text"};
  ConfigValue double_value{4.25};
  ConfigValue int64_value{int64_t{1} << 40};
  ConfigValue blob_value{"\x01\x02", 2};
};

TEST(ConfigValueTest, SetFromIntConvertsToTheOwnType) {
  AllTypes v;
  EXPECT_EQ(-5, v.int_value.SetFromInt(-5));
  EXPECT_EQ(-5, v.int_value.AsInt());
  EXPECT_EQ(-5, v.float_value.SetFromInt(-5));
  EXPECT_EQ(-5.0f, v.float_value.AsFloat());
  EXPECT_EQ(-5, v.string_value.SetFromInt(-5));
  EXPECT_STREQ("-5", v.string_value.AsString());
  EXPECT_EQ(0, v.string_value.AsInt()) << "getters never convert";
  EXPECT_EQ(-5, v.double_value.SetFromInt(-5));
  EXPECT_EQ(-5.0, v.double_value.AsDouble());
  EXPECT_EQ(-5, v.int64_value.SetFromInt(-5));
  EXPECT_EQ(int64_t{-5}, v.int64_value.AsInt64());
  EXPECT_EQ(0, v.blob_value.SetFromInt(-5));
  EXPECT_EQ(0, v.null_value.SetFromInt(-5));
  EXPECT_STREQ("", v.int_value.AsString()) << "never null";
}

TEST(ConfigValueTest, SetFromStringParsesTheLeadingNumber) {
  struct Case {
    const char* text;
    int32_t as_int;
    double as_double;
    int64_t as_int64;
  } cases[] = {
      {"42", 42, 42, 42},   {"  -7 apples", -7, -7, -7},
      {"2.75", 2, 2.75, 2}, {"0x10", 0, 16, 0},  // integers are decimal only
      {"abc", 0, 0, 0},     {"", 0, 0, 0},
  };
  for (const Case& c : cases) {
    AllTypes v;
    EXPECT_EQ(c.text, v.int_value.SetFromString(c.text));
    EXPECT_EQ(c.as_int, v.int_value.AsInt()) << c.text;
    v.double_value.SetFromString(c.text);
    EXPECT_EQ(c.as_double, v.double_value.AsDouble()) << c.text;
    v.float_value.SetFromString(c.text);
    EXPECT_EQ(static_cast<float>(c.as_double), v.float_value.AsFloat())
        << c.text;
    v.int64_value.SetFromString(c.text);
    EXPECT_EQ(c.as_int64, v.int64_value.AsInt64()) << c.text;
    v.string_value.SetFromString(c.text);
    EXPECT_STREQ(c.text, v.string_value.AsString());
  }
}

TEST(ConfigValueTest, SetFromStringWithoutTextStoresZero) {
  AllTypes v;
  EXPECT_EQ(nullptr, v.string_value.SetFromString(nullptr));
  EXPECT_STREQ("0", v.string_value.AsString());
  EXPECT_EQ(nullptr, v.int_value.SetFromString(nullptr));
  EXPECT_EQ(0, v.int_value.AsInt());
  EXPECT_EQ(nullptr, v.blob_value.SetFromString("1"));
  EXPECT_EQ(nullptr, v.int_value.SetString("x")) << "only for strings";
}

}  // namespace
}  // namespace mervane
