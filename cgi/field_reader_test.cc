#include "cgi/field_reader.h"

#include <cstdio>
#include <string>
#include <vector>

#include "gtest/gtest.h"

namespace mervane {
namespace {

std::vector<std::string> AllFields(const std::string& source, char separator) {
  FieldReader reader(source, separator);
  std::vector<std::string> fields;
  std::string field;
  while (reader.NextField(&field)) fields.push_back(field);
  return fields;
}

TEST(FieldReaderTest, CutsAtSeparators) {
  struct Case {
    std::string source;
    char separator;
    std::vector<std::string> fields;
  } cases[] = {
      {"a=1&b=2", '&', {"a=1", "b=2"}},
      {"a=1&&b=2", '&', {"a=1", "", "b=2"}},
      {"a=1&", '&', {"a=1"}},  // no empty field after a final separator
      {"&", '&', {""}},
      {"&&", '&', {"", ""}},
      {"", '&', {}},
      {"x", '&', {"x"}},
      {"x=1; y=2", ';', {"x=1", " y=2"}},
      {"x=1&y=2", ';', {"x=1&y=2"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.fields, AllFields(c.source, c.separator)) << c.source;
  }
}

TEST(FieldReaderTest, ReturnsLongFieldsWhole) {
  for (std::size_t length : {255, 256, 257, 513, 1000, 100000}) {
    std::string field = "n=" + std::string(length, 'v');
    std::vector<std::string> expected = {field, "m=1"};
    EXPECT_EQ(expected, AllFields(field + "&m=1", '&')) << length;
  }
}

// A FILE* holding text, read from its start.
std::FILE* Input(const std::string& text) {
  std::FILE* file = std::tmpfile();
  std::fwrite(text.data(), 1, text.size(), file);
  std::rewind(file);
  return file;
}

TEST(ReadBodyTest, TakesAtMostTheDeclaredLengthAndOnlyWhatArrived) {
  std::string big(10000, 'x');
  struct Case {
    std::string input;
    int length;
    std::string body;
  } cases[] = {
      {"a=1&b=x+y%21&c=3", 12, "a=1&b=x+y%21"},
      {"a=1&b", 100, "a=1&b"},  // input ends before the declared length
      {"a=1", 0, ""},
      {"a=1", -5, ""},
      {"", 10, ""},
      {big + "tail", 10000, big},  // more than one read step
  };
  for (const Case& c : cases) {
    std::FILE* in = Input(c.input);
    EXPECT_EQ(c.body, ReadBody(in, c.length)) << c.input << " / " << c.length;
    std::fclose(in);
  }
}

}  // namespace
}  // namespace mervane
