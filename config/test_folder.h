// A fresh folder for one test, removed with everything in it afterwards,
// and whole-file helpers. Test code only.

#ifndef MERVANE_CONFIG_TEST_FOLDER_H_
#define MERVANE_CONFIG_TEST_FOLDER_H_

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

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

}  // namespace mervane

#endif  // MERVANE_CONFIG_TEST_FOLDER_H_
