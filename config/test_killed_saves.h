// Saves killed at random moments: a writer process saves one of two large
// trees over and over, and is killed with SIGKILL after a random pause, many
// times. After each kill the file must be one of the two trees whole, and
// the folder must hold nothing but the file and at most one temporary file.
// Shared by the test and the benchmark that prints the figures. POSIX only.

#ifndef MERVANE_CONFIG_TEST_KILLED_SAVES_H_
#define MERVANE_CONFIG_TEST_KILLED_SAVES_H_

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "config/config_section.h"

namespace mervane {

struct KilledSaveFigures {
  int kills = 0;
  int torn = 0;          // neither tree whole
  int lost = 0;          // no file at all
  size_t most_left = 0;  // the most files beside it after one kill
  size_t left = 0;       // files beside it after the last kill
};

inline std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// A tree of about 120 KB whose every text is `letter` repeated.
inline void BuildLargeTree(ConfigSection* root, char letter) {
  for (int section = 0; section < 40; ++section) {
    ConfigSection* child = root->AddSection(std::to_string(section).c_str());
    for (int value = 0; value < 30; ++value) {
      child->AddString(("v" + std::to_string(value)).c_str(),
                       std::string(90, letter).c_str(), nullptr);
    }
  }
}

// Kills `kills` writers saving into the empty folder `folder`; pauses are
// up to max_pause_us long.
inline KilledSaveFigures KillSavesAtRandom(const std::string& folder, int kills,
                                           int max_pause_us) {
  const std::string path = folder + "/mervane.cfg";
  ConfigFile a(path.c_str());
  ConfigFile b(path.c_str());
  BuildLargeTree(&a, 'a');
  BuildLargeTree(&b, 'b');
  b.Save();
  const std::string b_bytes = FileBytes(path);
  a.Save();
  const std::string a_bytes = FileBytes(path);

  std::mt19937 random(12345);
  std::uniform_int_distribution<int> pause(0, max_pause_us);
  KilledSaveFigures figures;
  for (; figures.kills < kills; ++figures.kills) {
    const pid_t writer = fork();
    if (writer == 0) {
      for (;;) {
        a.Save();
        b.Save();
      }
    }
    usleep(pause(random));
    kill(writer, SIGKILL);
    waitpid(writer, nullptr, 0);
    if (!std::filesystem::exists(path)) {
      ++figures.lost;
    } else {
      const std::string bytes = FileBytes(path);
      if (bytes != a_bytes && bytes != b_bytes) ++figures.torn;
    }
    figures.left = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      if (entry.path() != path) ++figures.left;
    }
    if (figures.left > figures.most_left) figures.most_left = figures.left;
  }
  return figures;
}

}  // namespace mervane

#endif  // MERVANE_CONFIG_TEST_KILLED_SAVES_H_
