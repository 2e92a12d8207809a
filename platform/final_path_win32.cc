// The file that a path names at the end of its symbolic links, on Windows.

#include <windows.h>

#include <string>

#include "platform/platform.h"
#include "platform/win32_helpers.h"

namespace mervane {
namespace platform {

namespace {

// The system's final path in the form every other call takes: without the
// "\\?\" of long paths, and a share as \\server\share.
std::string WithoutLongPathPrefix(std::string path) {
  if (path.rfind("\\\\?\\UNC\\", 0) == 0) return "\\" + path.substr(7);
  if (path.rfind("\\\\?\\", 0) == 0) return path.substr(4);
  return path;
}

}  // namespace

bool FinalFilePath(const char* path, std::string* final_path) {
  const DWORD attributes = GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES ||
      (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    *final_path = path;
    return true;
  }
  // Opening follows the whole chain; a link whose target is missing fails
  // here rather than being replaced by a file of its own.
  ScopedHandle file(CreateFileA(
      path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!file.IsValid()) return false;
  std::string text(MAX_PATH, '\0');
  for (;;) {
    const DWORD length = GetFinalPathNameByHandleA(
        file.get(), text.data(), static_cast<DWORD>(text.size()),
        FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0) return false;
    if (length < text.size()) {
      text.resize(length);
      break;
    }
    text.resize(length);
  }
  *final_path = WithoutLongPathPrefix(text);
  return true;
}

}  // namespace platform
}  // namespace mervane
