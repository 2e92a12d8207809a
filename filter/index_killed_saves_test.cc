// Saves killed at any moment, with the index each save writes first: the
// index on disk is mapped only when it was compiled from the text on disk.

#include <string>

#include "config/test_killed_saves.h"
#include "config/test_util.h"
#include "filter/index_file.h"
#include "gtest/gtest.h"

namespace mervane {
namespace {

TEST(IndexKilledSavesTest, NoKillLeavesAnIndexOfAnotherTextMapped) {
  TestFolder folder;
  const std::string path = (folder.Path() / "mervane.cfg").string();
  int mapped = 0;
  auto check = [&](int tree) {
    platform::FileStamp stamp;
    if (tree < 0 || !platform::QueryFileStamp(path.c_str(), &stamp)) return;
    const IndexLoad load = LoadIndex(path, stamp);
    if (load.snapshot == nullptr) return;
    ++mapped;
    // The IP names of the tree the index was compiled from are in its texts.
    const std::string image = load.snapshot->Image(stamp);
    EXPECT_NE(std::string::npos, image.find(KilledSaveTreeName(tree)));
    EXPECT_EQ(std::string::npos, image.find(KilledSaveTreeName(1 - tree)));
  };
  const KilledSaveFigures figures = KillSavesAtRandom(
      folder.Path(), 100, 20000, IndexWritingSteps(path), check);
  EXPECT_EQ(0, figures.torn);
  EXPECT_EQ(0, figures.lost);
  EXPECT_LT(0, mapped) << "no kill left a saved index to check";
}

}  // namespace
}  // namespace mervane
