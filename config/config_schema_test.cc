// The section name of a virtual host. (The trees the administration program
// builds are saved byte for byte against admin/testdata.)

#include "config/config_schema.h"

#include <string>

#include "gtest/gtest.h"

namespace mervane {
namespace {

TEST(ConfigSchemaTest, HostKeyAddsEveryPortButEighty) {
  const char* cases[][3] = {
      {"beta", "80", "beta"},
      {"beta", "8080", "beta|8080"},
      {"beta", "080", "beta"},
      {"beta", "", "beta|"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c[2], schema::HostKey(c[0], c[1])) << c[1];
  }
  EXPECT_EQ("beta|", schema::HostKey("beta", nullptr));
}

}  // namespace
}  // namespace mervane
