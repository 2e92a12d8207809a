#include "cgi/cgi_variable.h"

#include <string>

#include "cgi/cgi_field.h"
#include "cgi/field_reader.h"
#include "gtest/gtest.h"

namespace mervane {
namespace {

// The set as "name(value|value) ...", variables and values in order.
std::string Dump(const CgiVariableSet& set) {
  std::string dump;
  for (int i = 1; i <= set.Count(); ++i) {
    const auto* variable = static_cast<const CgiVariable*>(set.At(i));
    dump += (i > 1 ? " " : "") +
            std::string(variable->Name() ? variable->Name() : "") + "(";
    for (int j = 1; j <= variable->Count(); ++j) {
      dump +=
          (j > 1 ? "|" : "") +
          std::string(static_cast<const CgiValue*>(variable->At(j))->Text());
    }
    dump += ")";
  }
  return dump;
}

TEST(CgiVariableSetTest, StoresEveryFieldOfASource) {
  const std::string kLong(1000, 'v');  // fields have no length limit
  struct Case {
    std::string source;
    char separator;
    std::string dump;
  } cases[] = {
      {"a=1&b=x+y%21", '&', "a(1) b(x y!)"},
      {"action=x&Action=y&b=1&ACTION=z", '&', "action(x|y|z) b(1)"},
      {"a=x&a=X", '&', "a(x)"},    // a duplicate value is dropped
      {"a=&a=", '&', "a(|)"},      // empty values never match
      {"=x&flag", '&', "flag()"},  // "=x" does not split
      {"a=1&&b=2", '&', "a(1) () b(2)"},
      {"a=1&", '&', "a(1)"},  // no empty field after a final separator
      {"a=b=c", '&', "a(b=c)"},
      {"n=" + kLong + "&m=1", '&', "n(" + kLong + ") m(1)"},
      {"v=a%3Db%26c&k%3Dx=1", '&', "v(a=b&c) k=x(1)"},  // decoded after split
      {"n=ab\tcd&m=ab%09cd", '&', "n(ab) m(ab\tcd)"},   // a raw tab ends it
      {"a=1;b=2", '&', "a(1;b=2)"},
      {"x=1; y=2;\r\n\tz =3", ';', "x(1) y(2) z (3)"},  // names trimmed left
      {" \t=1; =2", ';', "(1) (2)"},  // blank names: never found, kept apart
      {std::string("a=b\0c&d=e", 9), '&', "a(b) d(e)"},  // zero ends a field
  };
  for (const Case& c : cases) {
    CgiVariableSet set;
    FieldReader reader(c.source, c.separator);
    StoreFields(&reader,
                c.separator == ';' ? FieldNames::kTrimmed : FieldNames::kAsSent,
                &set);
    EXPECT_EQ(c.dump, Dump(set)) << c.source;
  }
}

TEST(CgiVariableSetTest, GetVariableFindsTheFirstValueOrEmpty) {
  CgiVariableSet set;
  set.Store("Action", "DoConfig");
  set.Store("action", "IPList");
  set.Store("", "unnamed");
  set.Store("e", "");
  set.Store("e", "later");
  EXPECT_STREQ("DoConfig", set.GetVariable("ACTION").FirstValue());
  EXPECT_STREQ("", set.GetVariable("e").FirstValue());
  EXPECT_EQ(&EmptyVariable(), &set.GetVariable("missing"));
  EXPECT_EQ(&EmptyVariable(), &set.GetVariable(""));
  EXPECT_STREQ("", set.GetVariable("missing").FirstValue());
}

TEST(UrlDecodeTest, NeverReadsPastTheText) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"x+y%41%4a%4A", "x yAJJ"},
      {"%ff%00", std::string("\xff\0", 2)},
      {"%2G", "\x02"},   // one digit; the G is consumed with it
      {"a%4", "a\x04"},  // one digit at the end
      {"100%", "100?"},  // nothing after the "%"
      {"%G2x", "?x"},    // no digit: both characters still go
      {"%%41", "?1"},
      {"% 41", "?1"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.out, UrlDecode(c.in)) << c.in;
  }
}

}  // namespace
}  // namespace mervane
