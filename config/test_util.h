// Test helpers: a fresh folder removed with everything in it afterwards,
// whole-file reads and writes, and a text loaded and saved again.

#ifndef MERVANE_CONFIG_TEST_UTIL_H_
#define MERVANE_CONFIG_TEST_UTIL_H_

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "config/config_section.h"
#include "gtest/gtest.h"

namespace mervane {

class TestFolder {
 public:
  TestFolder()
      : path_(std::filesystem::temp_directory_path() /
              ("mervane-config-" + std::to_string(std::random_device()()))) {
    std::filesystem::create_directory(path_);
  }
  ~TestFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TestFolder(const TestFolder&) = delete;
  TestFolder& operator=(const TestFolder&) = delete;

  std::string File(const std::string& name) const {
    return (path_ / name).string();
  }
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// The file's bytes, or "<none>". Read in text mode, so that a file written
// in text mode compares equal to its LF form on every platform.
inline std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path);
  if (!in) return "<none>";
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteWholeFile(const std::string& path, const std::string& data) {
  std::ofstream(path, std::ios::binary) << data;
}

// text loaded into a file and saved again: the bytes written, or "(load
// failed)" or "(save failed)".
inline std::string Resaved(const std::string& text) {
  TestFolder folder;
  const std::string path = folder.File("resaved.cfg");
  WriteWholeFile(path, text);
  ConfigFile file(path.c_str());
  if (!file.Load()) return "(load failed)";
  if (!file.Save()) return "(save failed)";
  return ReadWholeFile(path);
}

}  // namespace mervane

#endif  // MERVANE_CONFIG_TEST_UTIL_H_
