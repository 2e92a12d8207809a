#include "cgi/cgi_field.h"

#include <string>

#include "gtest/gtest.h"

namespace mervane {
namespace {

TEST(UrlDecodeTest, DecodesPlusAndEscapesWithinTheText) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"x+y%21", "x y!"},
      {"%41%4a%4A", "AJJ"},
      {"%ff%00", std::string("\xff\0", 2)},
      {"%20%2B", " +"},
      {"%2G", "\x02"},   // one digit; the G is consumed with it
      {"%4", "\x04"},    // one digit at the end
      {"100%", "100?"},  // nothing after the "%"
      {"%G2x", "?x"},    // no digit: both characters go
      {"%%41", "?1"},    // the second "%" is swallowed by the first
      {"% 41", "?1"},    // a blank is not a digit
      {"a%4", "a\x04"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.out, UrlDecode(c.in)) << c.in;
  }
}

TEST(SplitFieldTest, SplitsAtFirstEqualsThenDecodes) {
  struct Case {
    std::string field;
    int result;
    std::string name, value;
  } cases[] = {
      {"a=1", 1, "a", "1"},
      {"b=x+y%21", 1, "b", "x y!"},
      {"a=b=c", 1, "a", "b=c"},
      {"v=a%3Db%26c", 1, "v", "a=b&c"},
      {"k%3Dx=1", 1, "k=x", "1"},  // an encoded "=" stays in the name
      {"flag", 1, "flag", ""},
      {"a=", 1, "a", ""},
      {"", 1, "", ""},
      {"=x", 0, "", ""},
      {"=", 0, "", ""},
      {"n=ab\tcd", 1, "n", "ab"},  // a raw tab ends the value
      {"n=ab\r\ncd", 1, "n", "ab"},
      {"n=\tcd", 1, "n", ""},
      {"n=ab%09cd", 1, "n", "ab\tcd"},  // an encoded tab does not
      {"a\tb=c", 1, "a\tb", "c"},       // the name keeps raw tabs
      {"z =3", 1, "z ", "3"},
      {std::string("a=b\0c", 5), 1, "a", "b"},  // a zero byte ends the field
  };
  for (const Case& c : cases) {
    std::string name = "stale", value = "stale";
    EXPECT_EQ(c.result, SplitField(c.field, &name, &value)) << c.field;
    EXPECT_EQ(c.name, name) << c.field;
    EXPECT_EQ(c.value, value) << c.field;
  }
}

TEST(TrimLeftTest, RemovesLeadingWhiteSpaceOnly) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {" \t\r\nx y ", "x y "}, {"  \t", ""}, {"", ""}, {"z ", "z "},
      {"\vz", "\vz"},  // only blank, tab, line feed and carriage return
  };
  for (const Case& c : cases) {
    std::string text = c.in;
    TrimLeft(&text);
    EXPECT_EQ(c.out, text) << c.in;
  }
}

}  // namespace
}  // namespace mervane
