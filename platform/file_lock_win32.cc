// The lock and the fresh files of a save on Windows.

#include <windows.h>

#include <cstdio>
#include <string>

#include "platform/platform.h"

namespace mervane {
namespace platform {

struct FileLockRep {
  HANDLE file;
};

FileLock LockFileExclusively(const char* path) {
  // Shared access: the lock, not the open, keeps other writers out.
  const HANDLE file =
      CreateFileA(path, GENERIC_READ | GENERIC_WRITE,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  OVERLAPPED whole = {};
  if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &whole)) {
    CloseHandle(file);
    return nullptr;
  }
  return new FileLockRep{file};
}

void UnlockFile(FileLock lock) {
  if (lock == nullptr) return;
  OVERLAPPED whole = {};
  UnlockFileEx(lock->file, 0, 1, 0, &whole);
  CloseHandle(lock->file);
  delete lock;
}

std::FILE* CreateFreshFile(const char* temp_path, const char* /*target*/) {
  // Not inherited, as OpenFile's files.
  return std::fopen(temp_path, "wtN");
}

std::string LastErrorText() {
  char text[256] = {};
  const DWORD length =
      FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, GetLastError(), 0, text, sizeof(text), nullptr);
  std::string message(text, length);
  // The system's texts end with a line break.
  while (!message.empty() &&
         (message.back() == '\n' || message.back() == '\r')) {
    message.pop_back();
  }
  return message;
}

}  // namespace platform
}  // namespace mervane
