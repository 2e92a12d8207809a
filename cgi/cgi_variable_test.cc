#include "cgi/cgi_variable.h"

#include <string>
#include <vector>

#include "cgi/field_reader.h"
#include "gtest/gtest.h"

namespace mervane {
namespace {

// The values of variable `name`, in order.
std::vector<std::string> Values(const CgiVariableSet& set, const char* name) {
  const CgiVariable& variable = set.GetVariable(name);
  std::vector<std::string> values;
  for (int i = 1; i <= variable.Count(); ++i) {
    values.push_back(static_cast<const CgiValue*>(variable.At(i))->Text());
  }
  return values;
}

TEST(CgiVariableSetTest, StoresFieldsByCaseInsensitiveName) {
  struct Case {
    std::string source;
    char separator;
    const char* name;
    std::vector<std::string> values;
  } cases[] = {
      {"a=1&b=x+y%21", '&', "b", {"x y!"}},
      {"Action=DoConfig&Action=IPList", '&', "Action", {"DoConfig", "IPList"}},
      {"action=x&Action=y", '&', "ACTION", {"x", "y"}},
      {"a=x&a=X", '&', "a", {"x"}},   // the second value is a duplicate
      {"a=&a=", '&', "a", {"", ""}},  // empty values never match
      {"=x&a=1", '&', "a", {"1"}},
      {"flag", '&', "flag", {""}},
      {"a=1&&b=2", '&', "b", {"2"}},
      {"v=a%3Db%26c", '&', "v", {"a=b&c"}},
      {"x=1; y=2", ';', "y", {"2"}},
      {"z =3", ';', "z ", {"3"}},  // a blank before "=" stays in the name
      {"z =3", ';', "z", {}},
      {" \t=1", ';', "", {}},  // a name of blanks can never be found
  };
  for (const Case& c : cases) {
    CgiVariableSet set;
    FieldReader reader(c.source, c.separator);
    StoreFields(&reader,
                c.separator == ';' ? FieldNames::kTrimmed : FieldNames::kAsSent,
                &set);
    EXPECT_EQ(c.values, Values(set, c.name)) << c.source;
  }
}

TEST(CgiVariableSetTest, KeepsVariablesInOrderOfFirstArrival) {
  CgiVariableSet set;
  set.Store("b", "1");
  set.Store("a", "2");
  set.Store("B", "3");
  ASSERT_EQ(2, set.Count());
  EXPECT_STREQ("b", set.At(1)->Name());
  EXPECT_STREQ("a", set.At(2)->Name());
  EXPECT_STREQ("3", static_cast<CgiVariable*>(set.At(1))->At(2)->Name());
}

TEST(CgiVariableSetTest, AbsentOrUnnamedVariablesReadAsEmpty) {
  CgiVariableSet set;
  set.Store("", "x");
  set.Store("", "y");
  // Each empty name is a variable of its own that no lookup reaches.
  EXPECT_EQ(2, set.Count());
  EXPECT_EQ(&EmptyVariable(), &set.GetVariable(""));
  EXPECT_EQ(&EmptyVariable(), &set.GetVariable("missing"));
  EXPECT_EQ(&EmptyVariable(), &set.GetVariable(nullptr));
  EXPECT_STREQ("", set.GetVariable("missing").FirstValue());
}

TEST(CgiVariableTest, FirstValueIsTheFirstArrivedOrEmpty) {
  CgiVariableSet set;
  set.Store("a", "");
  set.Store("a", "later");
  set.Store("b", "first");
  set.Store("b", "second");
  EXPECT_STREQ("", set.GetVariable("a").FirstValue());
  EXPECT_STREQ("first", set.GetVariable("B").FirstValue());
}

}  // namespace
}  // namespace mervane
