#include "platform/test_folder_sync.h"

#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace mervane {
namespace test_folder_sync {
namespace {

std::atomic<int> failure{0};

}  // namespace

Failure::Failure(int error) { failure = error; }
Failure::~Failure() { failure = 0; }

}  // namespace test_folder_sync
}  // namespace mervane

// Defined in the program, this fsync is the one the platform layer's calls
// reach instead of the C library's.
extern "C" int fsync(int fd) {
  namespace sync = mervane::test_folder_sync;
  struct stat st;
  if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    if (const int error = sync::failure) {
      errno = error;
      return -1;
    }
  }
  return static_cast<int>(syscall(SYS_fsync, fd));
}
