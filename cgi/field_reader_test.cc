#include "cgi/field_reader.h"

#include <cstdio>
#include <string>

#include "gtest/gtest.h"

namespace mervane {
namespace {

TEST(ReadBodyTest, TakesAtMostTheDeclaredLengthAndOnlyWhatArrived) {
  std::string big(10000, 'x');
  struct Case {
    std::string input;
    int length;
    std::string body;
  } cases[] = {
      {"a=1&b=x+y%21&c=3", 12, "a=1&b=x+y%21"},
      {"a=1&b", 100, "a=1&b"},  // the input ends before the declared length
      {"a=1", 0, ""},
      {"a=1", -5, ""},
      {big + "tail", 10000, big},  // more than one read step
  };
  for (const Case& c : cases) {
    std::FILE* in = std::tmpfile();
    std::fputs(c.input.c_str(), in);
    std::rewind(in);
    EXPECT_EQ(c.body, ReadBody(in, c.length)) << c.length;
    std::fclose(in);
  }
}

}  // namespace
}  // namespace mervane
