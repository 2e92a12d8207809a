// Saves killed with SIGKILL at random moments, 1,000 times: prints how many
// left a torn file, no file at all, and how many files stayed beside it.
//
//   killed_save_bench [KILLS]

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "config/test_killed_saves.h"

int main(int argc, char** argv) {
  const int kills = argc > 1 ? std::atoi(argv[1]) : 1000;
  char pattern[] = "/tmp/killed_save_bench.XXXXXX";
  const char* folder = mkdtemp(pattern);
  if (folder == nullptr) return 1;
  const mervane::KilledSaveFigures figures =
      mervane::KillSavesAtRandom(folder, kills, 20000);
  std::printf(
      "kills %d: torn %d, lost %d; files beside it after a kill: at most %zu\n",
      figures.kills, figures.torn, figures.lost, figures.most_left);
  std::filesystem::remove_all(folder);
  return figures.torn == 0 && figures.lost == 0 ? 0 : 1;
}
