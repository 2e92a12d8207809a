// Saves killed at random moments: a writer process saving two large trees in
// turn is killed with SIGKILL after a random pause, many times; the figures
// tell how often the file was torn or lost and the most files left beside it.
// Shared by the test and the benchmark. POSIX only.

#ifndef MERVANE_CONFIG_TEST_KILLED_SAVES_H_
#define MERVANE_CONFIG_TEST_KILLED_SAVES_H_

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>

#include "config/config_section.h"
#include "platform/platform.h"

namespace mervane {

// The name of a section that only tree (0 or 1) holds.
inline const char* KilledSaveTreeName(int tree) {
  return tree == 0 ? "first-tree" : "second-tree";
}

struct KilledSaveFigures {
  int kills = 0;
  int torn = 0;          // neither tree whole
  int lost = 0;          // no file at all
  size_t most_left = 0;  // the most files beside it after one kill
};

// Kills `kills` writers saving into the empty folder, each after up to
// max_pause_us, each save with steps. After each kill, check is called with
// the tree the file holds (-1: neither).
inline KilledSaveFigures KillSavesAtRandom(
    const std::filesystem::path& folder, int kills, int max_pause_us,
    const platform::ReplaceSteps& steps = {},
    const std::function<void(int tree)>& check = nullptr) {
  const std::string path = (folder / "mervane.cfg").string();
  auto bytes = [&path] {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  ConfigFile trees[2] = {ConfigFile(path.c_str()), ConfigFile(path.c_str())};
  std::string saved[2];
  for (int tree = 0; tree < 2; ++tree) {  // about 120 KB each
    trees[tree].AddSection(KilledSaveTreeName(tree));
    for (int section = 0; section < 40; ++section) {
      ConfigSection* child =
          trees[tree].AddSection(std::to_string(section).c_str());
      for (int value = 0; value < 30; ++value) {
        child->AddString(std::to_string(value).c_str(),
                         std::string(90, 'a' + tree).c_str(), nullptr);
      }
    }
    trees[tree].Save(nullptr, steps);
    saved[tree] = bytes();
  }
  std::mt19937 random(12345);
  std::uniform_int_distribution<int> pause(0, max_pause_us);
  KilledSaveFigures figures;
  for (; figures.kills < kills; ++figures.kills) {
    const pid_t writer = fork();
    while (writer == 0) {
      trees[0].Save(nullptr, steps);
      trees[1].Save(nullptr, steps);
    }
    usleep(pause(random));
    kill(writer, SIGKILL);
    waitpid(writer, nullptr, 0);
    const std::string held = bytes();
    const int tree = held == saved[0] ? 0 : held == saved[1] ? 1 : -1;
    if (!std::filesystem::exists(path)) {
      ++figures.lost;
    } else if (tree < 0) {
      ++figures.torn;
    }
    if (check) check(tree);
    size_t left = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      left += entry.path() != path;
    }
    figures.most_left = std::max(figures.most_left, left);
  }
  return figures;
}

}  // namespace mervane

#endif  // MERVANE_CONFIG_TEST_KILLED_SAVES_H_
