#include "apache/server_variables.h"

#include <gtest/gtest.h>

#include <string>

namespace mervane {
namespace apache {
namespace {

TEST(RequestVariablesTest, ReadFollowsTheBufferContract) {
  const RequestVariables named("127.0.0.1", 8080, "alpha");
  const RequestVariables unnamed("127.0.0.1", 80, nullptr);
  struct Case {
    const RequestVariables* variables;
    const char* name;
    DWORD buffer_size;
    BOOL result;
    DWORD size_after;  // bytes copied, or needed
    DWORD error;
    const char* value;  // the buffer's text after the call
  } cases[] = {
      {&named, "LOCAL_ADDR", 18, TRUE, 10, 0, "127.0.0.1"},
      {&named, "SERVER_PORT", 5, TRUE, 5, 0, "8080"},
      {&named, "SERVER_PORT", 4, FALSE, 5, kErrorInsufficientBuffer, "-"},
      {&named, "SERVER_NAME", 256, TRUE, 6, 0, "alpha"},
      {&unnamed, "SERVER_NAME", 256, TRUE, 10, 0, "127.0.0.1"},
      {&named, "server_name", 256, FALSE, 256, kErrorInvalidIndex, "-"},
  };
  for (const Case& c : cases) {
    char buffer[256] = "-";
    DWORD size = c.buffer_size;
    DWORD error = 0;
    SCOPED_TRACE(std::string(c.name) + " " + std::to_string(c.buffer_size));
    EXPECT_EQ(c.result, c.variables->Read(c.name, buffer, &size, &error));
    EXPECT_EQ(c.size_after, size);
    EXPECT_EQ(c.error, error);
    EXPECT_STREQ(c.value, buffer);
  }
}

}  // namespace
}  // namespace apache
}  // namespace mervane
