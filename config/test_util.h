// Helpers for the configuration store's tests: a fresh folder for one test,
// removed with everything in it afterwards, whole-file reads and writes, and
// the two directions of a round trip through a file. Test code only.

#ifndef MERVANE_CONFIG_TEST_UTIL_H_
#define MERVANE_CONFIG_TEST_UTIL_H_

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "config/config_section.h"

namespace mervane {

class TestFolder {
 public:
  TestFolder() {
    char pattern[] = "/tmp/mervane-config-XXXXXX";
    if (mkdtemp(pattern) != nullptr) path_ = pattern;
  }
  ~TestFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  TestFolder(const TestFolder&) = delete;
  TestFolder& operator=(const TestFolder&) = delete;

  // The path of `name` inside the folder.
  std::string File(const std::string& name) const {
    return (path_ / name).string();
  }
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

inline std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteWholeFile(const std::string& path, const std::string& data) {
  std::ofstream(path, std::ios::binary) << data;
}

// The bytes that Save writes for the tree `build` makes in an empty file;
// "(save failed)" when it fails.
inline std::string SavedBytes(void (*build)(ConfigSection* root)) {
  TestFolder folder;
  ConfigFile file(folder.File("saved.cfg").c_str());
  build(&file);
  if (!file.Save()) return "(save failed)";
  return ReadWholeFile(file.Name());
}

// A file loaded from text (null when the load fails); the file itself is
// gone when this returns, the tree stays.
inline std::unique_ptr<ConfigFile> Loaded(const std::string& text) {
  TestFolder folder;
  std::string path = folder.File("loaded.cfg");
  WriteWholeFile(path, text);
  auto file = std::make_unique<ConfigFile>(path.c_str());
  if (!file->Load()) return nullptr;
  return file;
}

// text loaded into an empty file and saved again; "(load failed)" or
// "(save failed)" when one of them fails.
inline std::string LoadedAndSaved(const std::string& text) {
  TestFolder folder;
  std::string path = folder.File("loaded.cfg");
  WriteWholeFile(path, text);
  ConfigFile file(path.c_str());
  if (!file.Load()) return "(load failed)";
  if (!file.Save()) return "(save failed)";
  return ReadWholeFile(path);
}

}  // namespace mervane

#endif  // MERVANE_CONFIG_TEST_UTIL_H_
