// Durable replacement of a file on POSIX systems.

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/durable_file_posix.h"
#include "platform/platform.h"

namespace mervane {
namespace platform {

namespace {

bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t written = write(fd, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data += written;
    size -= static_cast<size_t>(written);
  }
  return true;
}

// Gives the fresh file the owner, group and mode of the file it replaces.
// Only root may give a file away and only a member may pass it to a group:
// what the caller may not set (EPERM) stays its own.
bool TakeAttributes(int fd, const struct stat& old) {
  if (fchown(fd, old.st_uid, old.st_gid) != 0) {
    if (errno != EPERM) return false;
    if (fchown(fd, static_cast<uid_t>(-1), old.st_gid) != 0 && errno != EPERM) {
      return false;
    }
  }
  // After the owner: a change of owner may clear set-id bits.
  return fchmod(fd, old.st_mode & 07777) == 0;
}

bool Later(const struct timespec& a, const struct timespec& b) {
  return a.tv_sec != b.tv_sec ? a.tv_sec > b.tv_sec : a.tv_nsec > b.tv_nsec;
}

// One step of the clock that dates files: the kernel's coarse tick.
struct timespec OneTickAfter(struct timespec time) {
  struct timespec tick = {0, 1};
  clock_getres(CLOCK_REALTIME_COARSE, &tick);
  time.tv_sec += tick.tv_sec;
  time.tv_nsec += tick.tv_nsec;
  if (time.tv_nsec >= 1000000000) {
    ++time.tv_sec;
    time.tv_nsec -= 1000000000;
  }
  return time;
}

// Dates the fresh file after the file it replaces, even when the clock has
// not moved since: the filter tells a save by the file's stamp, and a save
// within one tick of the file clock that gets back the inode of the file
// before (file systems reuse a freed inode at once) and has its size would
// otherwise carry that file's stamp whole, and never be loaded.
bool DateAfter(int fd, const struct stat& old) {
  struct stat fresh;
  if (fstat(fd, &fresh) != 0) return false;
  if (Later(fresh.st_mtim, old.st_mtim)) return true;
  const struct timespec times[2] = {{0, UTIME_OMIT}, OneTickAfter(old.st_mtim)};
  return futimens(fd, times) == 0;
}

// Makes a fresh `temp` hold data, synced, dated after `target` and with its
// attributes when it exists. errno tells why when it fails; nothing is left
// behind.
bool WriteFreshFile(const std::string& temp, const std::string& target,
                    const std::string& data) {
  // Whatever a killed save, or anyone else, left at the name goes; a
  // symbolic link is removed itself, never followed.
  if (unlink(temp.c_str()) != 0 && errno != ENOENT) return false;
  struct stat old;
  const bool replaces = stat(target.c_str(), &old) == 0;
  // Private until it has the target's attributes.
  const int fd =
      open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
           replaces ? 0600 : 0666);
  if (fd < 0) return false;
  bool written = (!replaces || TakeAttributes(fd, old)) &&
                 WriteAll(fd, data.data(), data.size()) &&
                 (!replaces || DateAfter(fd, old)) && fsync(fd) == 0;
  int error = errno;
  if (close(fd) != 0 && written) {
    written = false;
    error = errno;
  }
  if (written) return true;
  unlink(temp.c_str());
  errno = error;
  return false;
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : path.substr(0, slash + 1);
}

// Makes the folder's entries durable. Several network and FUSE file systems
// cannot sync a folder and say so with EINVAL: their renames are as durable
// as they get.
bool SyncFolder(const std::string& folder) {
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool synced = fsync(fd) == 0 || errno == EINVAL;
  const int error = errno;
  close(fd);
  errno = error;
  return synced;
}

// The folder part of a path as the caller spelled it, for messages.
std::string SpelledFolderOf(const std::string& path) {
  const size_t separator = path.find_last_of("/\\");
  return separator == std::string::npos ? "." : path.substr(0, separator + 1);
}

// Runs the caller's step on the complete fresh file; removes the file when
// the step refuses.
bool BeforeRename(const std::string& temp_path, const ReplaceSteps& steps,
                  std::string* problem) {
  FileStamp fresh;
  std::string refusal;
  if (QueryFileStamp(temp_path.c_str(), &fresh) &&
      steps.before_rename(temp_path, fresh, &refusal)) {
    return true;
  }
  if (refusal.empty()) refusal = temp_path + ": " + std::strerror(errno);
  unlink(temp_path.c_str());
  if (problem != nullptr) *problem = refusal;
  return false;
}

}  // namespace

Replacement ReplaceNativeFile(const std::string& temp_path,
                              const std::string& target,
                              const std::string& data, ReplaceStep* step,
                              const ReplaceSteps& steps, std::string* problem) {
  *step = ReplaceStep::kTemp;
  if (!WriteFreshFile(temp_path, target, data)) return Replacement::kFailed;
  if (steps.before_rename && !BeforeRename(temp_path, steps, problem)) {
    return Replacement::kFailed;
  }
  *step = ReplaceStep::kTarget;
  if (rename(temp_path.c_str(), target.c_str()) != 0) {
    const int error = errno;
    unlink(temp_path.c_str());
    errno = error;
    return Replacement::kFailed;
  }
  // From here on the new file is in place: whatever fails now must not be
  // reported as if the old one were still there.
  *step = ReplaceStep::kFolder;
  return SyncFolder(FolderOf(target)) ? Replacement::kDurable
                                      : Replacement::kNotFlushed;
}

Replacement ReplaceFileDurably(const char* temp_path, const char* target,
                               const std::string& data, std::string* problem) {
  return ReplaceFileDurably(temp_path, target, data, problem, ReplaceSteps());
}

Replacement ReplaceFileDurably(const char* temp_path, const char* target,
                               const std::string& data, std::string* problem,
                               const ReplaceSteps& steps) {
  ReplaceStep step;
  std::string refusal;
  const Replacement outcome = ReplaceNativeFile(
      NativePath(temp_path), NativePath(target), data, &step, steps, &refusal);
  if (outcome == Replacement::kDurable) return outcome;
  if (!refusal.empty()) {
    *problem = refusal;
    return outcome;
  }
  const std::string spelled = step == ReplaceStep::kTemp ? temp_path
                              : step == ReplaceStep::kTarget
                                  ? target
                                  : SpelledFolderOf(target);
  *problem = spelled + ": " + std::strerror(errno);
  return outcome;
}

}  // namespace platform
}  // namespace mervane
