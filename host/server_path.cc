#include "host/server_path.h"

#include <cctype>

namespace mervane {
namespace host {
namespace {

std::string WithoutFinalSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

// The drive form of path when it lies in a drive folder of drives_dir
// ("drives/c/www" gives "c:/www", "drives/c" gives "c:"); empty otherwise.
std::string DriveForm(const std::string& path, const std::string& drives_dir) {
  const std::string drives = WithoutFinalSlashes(drives_dir);
  if (drives.empty() || path.size() < drives.size() + 2 ||
      path.compare(0, drives.size(), drives) != 0 ||
      path[drives.size()] != '/') {
    return std::string();
  }
  const char letter = path[drives.size() + 1];
  const std::size_t rest = drives.size() + 2;
  if (!std::islower(static_cast<unsigned char>(letter)) ||
      (rest < path.size() && path[rest] != '/')) {
    return std::string();
  }
  return std::string(1, letter) + ":" + path.substr(rest);
}

}  // namespace

std::string ServerPath(const std::string& document_root,
                       const std::string& decoded_uri,
                       const std::string& drives_dir) {
  std::string root = WithoutFinalSlashes(document_root);
  if (root == "/") root.clear();
  const std::string drive_form = DriveForm(root, drives_dir);
  std::string path = (drive_form.empty() ? root : drive_form) + decoded_uri;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

bool HoldsBackslash(const std::string& decoded_uri) {
  return decoded_uri.find('\\') != std::string::npos;
}

bool HoldsParentSegment(const std::string& native_path) {
  std::size_t start = 0;
  while (start <= native_path.size()) {
    std::size_t end = native_path.find('/', start);
    if (end == std::string::npos) end = native_path.size();
    if (native_path.compare(start, end - start, "..") == 0) return true;
    start = end + 1;
  }
  return false;
}

}  // namespace host
}  // namespace mervane
