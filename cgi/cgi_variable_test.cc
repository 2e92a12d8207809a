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
      {"x=1; y=2;\r\n\tz =3", ';', "x(1) y(2) z (3)"},  // names trimmed left
      {" \t=1; =2", ';', "(1) (2)"},  // blank names: never found, kept apart
      {std::string("a=b\0c&d=e", 9), '&', "a(b) d(e)"},  // zero ends a field
      // Decoding never reads past the text: one digit, none, or the end.
      {"a=x+y%41%4a%4A&b=%ff&c=%2G&d=a%4&e=100%&f=%G2x&g=%%41&h=% 41", '&',
       "a(x yAJJ) b(\xff) c(\x02) d(a\x04) e(100?) f(?x) g(?1) h(?1)"},
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

}  // namespace
}  // namespace mervane
