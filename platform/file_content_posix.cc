// A whole file in memory on POSIX systems: mapped where that is safe, read
// where another machine may change the file under the mapping.

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/platform.h"
#include "platform/stamp_posix.h"

namespace mervane {
namespace platform {

struct FileContentRep {
  void* data = nullptr;
  std::size_t size = 0;
  bool mapped = false;
};

namespace {

// File systems whose files another machine may replace or cut short while
// they are mapped here (a SIGBUS at the next touch of a lost page).
bool IsNetworkFileSystem(int fd) {
  constexpr unsigned long kNfs = 0x6969;
  constexpr unsigned long kSmb = 0x517B;
  constexpr unsigned long kCifs = 0xFF534D42;
  constexpr unsigned long kSmb2 = 0xFE534D42;
  constexpr unsigned long kFuse = 0x65735546;
  struct statfs fs;
  if (fstatfs(fd, &fs) != 0) return true;  // unknown: the safe way
  const auto type = static_cast<unsigned long>(fs.f_type);
  return type == kNfs || type == kSmb || type == kCifs || type == kSmb2 ||
         type == kFuse;
}

bool ReadsWhole(int fd) {
  const char* forced = std::getenv("MERVANE_READ_WHOLE_FILES");
  return (forced != nullptr && *forced != '\0') || IsNetworkFileSystem(fd);
}

bool ReadWhole(int fd, FileContentRep* content) {
  content->data = AllocatePages(content->size);
  if (content->data == nullptr) return false;
  char* into = static_cast<char*>(content->data);
  for (std::size_t done = 0; done < content->size;) {
    const ssize_t got =
        pread(fd, into + done, content->size - done, static_cast<off_t>(done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      // Cut short since the fstat: what was read is no whole file.
      if (got == 0) errno = EIO;
      return false;
    }
    done += static_cast<std::size_t>(got);
  }
  return true;
}

bool Fill(int fd, FileContentRep* content) {
  if (content->size == 0) return true;
  if (ReadsWhole(fd)) return ReadWhole(fd, content);
  void* mapped = mmap(nullptr, content->size, PROT_READ, MAP_SHARED, fd, 0);
  if (mapped == MAP_FAILED) return false;
  content->data = mapped;
  content->mapped = true;
  return true;
}

}  // namespace

FileContent OpenFileContent(const char* path, FileStamp* stamp,
                            std::string* problem) {
  // Allocated before the open, so that a throw leaves no descriptor behind.
  const std::string native = NativePath(path);
  auto* content = new FileContentRep();
  const int fd = open(native.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat st;
  bool filled = fd >= 0 && fstat(fd, &st) == 0;
  if (filled) {
    content->size = static_cast<std::size_t>(st.st_size);
    filled = Fill(fd, content);
  }
  const int error = errno;
  if (fd >= 0) close(fd);
  if (!filled) {
    CloseFileContent(content);
    *problem = std::strerror(error);
    return nullptr;
  }
  // The opened file's own stamp, whatever lies at the path by now.
  *stamp = StampOf(st);
  return content;
}

const char* FileContentData(FileContent content) {
  return static_cast<const char*>(content->data);
}

std::size_t FileContentSize(FileContent content) { return content->size; }

bool FileContentIsMapped(FileContent content) { return content->mapped; }

void CloseFileContent(FileContent content) {
  if (content->data != nullptr) {
    if (content->mapped) {
      munmap(content->data, content->size);
    } else {
      FreePages(content->data, content->size);
    }
  }
  delete content;
}

}  // namespace platform
}  // namespace mervane
