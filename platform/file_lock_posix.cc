// The lock that keeps the writers of a file apart, on POSIX systems.

#include <fcntl.h>
#include <sys/file.h>
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
  // Never through a symbolic link: one planted at the name would make the
  // lock create or lock whatever file it points to.
  const int fd = open(NativePath(path).c_str(),
                      O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
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

std::string LastErrorText() { return std::strerror(errno); }

}  // namespace platform
}  // namespace mervane
