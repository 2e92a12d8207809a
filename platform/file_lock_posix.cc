// The lock and the fresh files of a save on POSIX systems.

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/platform.h"

namespace mervane {
namespace platform {

struct FileLockRep {
  int fd;
};

FileLock LockFileExclusively(const char* path) {
  const int fd =
      open(NativePath(path).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  int locked;
  do {
    locked = flock(fd, LOCK_EX);
  } while (locked != 0 && errno == EINTR);
  if (locked != 0) {
    close(fd);
    return nullptr;
  }
  return new FileLockRep{fd};
}

void UnlockFile(FileLock lock) {
  if (lock == nullptr) return;
  // Closing the descriptor releases the lock.
  close(lock->fd);
  delete lock;
}

std::FILE* CreateFreshFile(const char* temp_path, const char* target) {
  const std::string native = NativePath(temp_path);
  const int fd =
      open(native.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  // The replacement keeps the permissions of the file it replaces.
  struct stat st;
  if (stat(NativePath(target).c_str(), &st) == 0) {
    fchmod(fd, st.st_mode & 07777);
  }
  std::FILE* file = fdopen(fd, "w");
  if (file == nullptr) close(fd);
  return file;
}

std::string LastErrorText() { return std::strerror(errno); }

}  // namespace platform
}  // namespace mervane
