#include "host/server_path.h"

#include <algorithm>

namespace mervane {
namespace host {
namespace {

std::string_view WithoutFinalSlashes(std::string_view path) {
  while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
  return path;
}

// The drive letter of path when it lies in a drive folder of drives_dir,
// with *rest set to what follows that folder ("drives/c/www" gives 'c' and
// "/www", "drives/c" gives 'c' and ""); '\0' otherwise.
char DriveOf(std::string_view path, std::string_view drives_dir,
             std::string_view* rest) {
  const std::string_view drives = WithoutFinalSlashes(drives_dir);
  if (drives.empty() || path.size() < drives.size() + 2 ||
      path.substr(0, drives.size()) != drives || path[drives.size()] != '/') {
    return '\0';
  }
  const char letter = path[drives.size() + 1];
  const std::size_t after = drives.size() + 2;
  // ASCII only, whatever the locale.
  if (letter < 'a' || letter > 'z' ||
      (after < path.size() && path[after] != '/')) {
    return '\0';
  }
  *rest = path.substr(after);
  return letter;
}

}  // namespace

void ServerPath(std::string_view document_root, std::string_view decoded_uri,
                std::string_view drives_dir, std::string* path) {
  std::string_view root = WithoutFinalSlashes(document_root);
  if (root == "/") root = std::string_view();
  std::string_view rest;
  const char drive = DriveOf(root, drives_dir, &rest);
  path->clear();
  if (drive != '\0') {
    path->append(1, drive).append(1, ':').append(rest);
  } else {
    path->append(root);
  }
  path->append(decoded_uri);
  std::replace(path->begin(), path->end(), '/', '\\');
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
