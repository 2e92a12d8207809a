// Loading a snapshot: files that cannot be loaded say why.

#include <string>

#include "filter/snapshot.h"
#include "filter/test_environment.h"
#include "gtest/gtest.h"

namespace mervane {
namespace {

TEST(SnapshotLoadTest, RefusedFilesSayWhy) {
  TestEnvironment environment;
  std::string deep;
  for (int level = 0; level < 65; ++level) deep += "{ s:\n";
  environment.WriteFile("c:\\deep.cfg", deep);
  environment.WriteFile("c:\\good.cfg", "{ 10.0.0.5:\n} 10.0.0.5;\n");
  const struct {
    const char* path;
    bool loaded;
    const char* reason;  // null: the system's text for a missing file
  } cases[] = {
      {"c:\\good.cfg", true, ""},
      {"c:\\missing.cfg", false, nullptr},
      {"c:\\deep.cfg", false, "nested deeper than 64 sections"},
  };
  for (const auto& c : cases) {
    std::string reason;
    const bool loaded =
        Snapshot::Load(environment.Path(c.path), &reason) != nullptr;
    EXPECT_EQ(c.loaded, loaded) << c.path;
    if (c.reason != nullptr) {
      EXPECT_EQ(c.reason, reason) << c.path;
    } else {
      EXPECT_FALSE(reason.empty()) << c.path;
    }
  }
}

}  // namespace
}  // namespace mervane
