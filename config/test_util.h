// Helpers for the configuration store's tests: a fresh folder for one test,
// removed with everything in it afterwards, whole-file reads and writes, and
// the two directions of a round trip through a file. Test code only.

#ifndef MERVANE_CONFIG_TEST_UTIL_H_
#define MERVANE_CONFIG_TEST_UTIL_H_

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>

#include "config/config_section.h"
#include "gtest/gtest.h"

namespace mervane {

class TestFolder {
 public:
  TestFolder() {
    std::random_device random;
    std::filesystem::path temp = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
      std::filesystem::path candidate =
          temp / ("mervane-config-" + std::to_string(random()));
      if (std::filesystem::create_directory(candidate)) path_ = candidate;
    }
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

// Read in text mode, so that a file written in text mode compares equal to
// its LF form on every platform.
inline std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path);
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

// Success when folder holds nothing but the file at path, with contents.
inline ::testing::AssertionResult HoldsOnly(const TestFolder& folder,
                                            const std::string& path,
                                            const std::string& contents) {
  for (const auto& entry : std::filesystem::directory_iterator(folder.Path())) {
    if (entry.path().string() != path) {
      return ::testing::AssertionFailure() << "left behind: " << entry.path();
    }
  }
  if (ReadWholeFile(path) != contents) {
    return ::testing::AssertionFailure()
           << path << " holds " << ReadWholeFile(path);
  }
  return ::testing::AssertionSuccess();
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
