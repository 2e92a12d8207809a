// Regression: every killed save left its own temporary file behind, and no
// later save removed them.

#include "config/test_killed_saves.h"
#include "config/test_util.h"
#include "gtest/gtest.h"

namespace mervane {
namespace {

TEST(KilledSaveTest, NeverTornNeverMoreThanOneFileBeside) {
  TestFolder folder;
  KilledSaveFigures figures =
      KillSavesAtRandom(folder.Path().string(), 150, 3000);
  EXPECT_EQ(0, figures.torn);
  EXPECT_EQ(0, figures.lost);
  EXPECT_GE(1u, figures.most_left);
}

}  // namespace
}  // namespace mervane
