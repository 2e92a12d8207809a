// The file that a path names at the end of its symbolic links, on POSIX
// systems.

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace mervane {
namespace platform {

namespace {

// As many links as the kernel follows before it says ELOOP.
constexpr int kMostLinks = 40;

bool IsLink(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

// What the link at `link` points to; a relative target counts from the
// link's own folder, as the kernel takes it.
bool ReadLink(const std::string& link, std::string* target) {
  std::vector<char> text(256);
  for (;;) {
    const ssize_t length = readlink(link.c_str(), text.data(), text.size());
    if (length < 0) return false;
    if (static_cast<size_t>(length) < text.size()) {
      target->assign(text.data(), static_cast<size_t>(length));
      break;
    }
    text.resize(text.size() * 2);
  }
  if (!target->empty() && (*target)[0] == '/') return true;
  const size_t slash = link.rfind('/');
  if (slash != std::string::npos) target->insert(0, link, 0, slash + 1);
  return true;
}

}  // namespace

bool FinalFilePath(const char* path, std::string* final_path) {
  std::string current = NativePath(path);
  if (!IsLink(current)) {
    *final_path = path;
    return true;
  }
  for (int links = 0; links < kMostLinks; ++links) {
    std::string target;
    if (!ReadLink(current, &target)) return false;
    current = target;
    if (!IsLink(current)) {
      *final_path = current;
      return true;
    }
  }
  errno = ELOOP;
  return false;
}

}  // namespace platform
}  // namespace mervane
