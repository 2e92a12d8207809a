// The platform layer on POSIX systems: stand-ins for the Windows services
// that keep their contracts. The conventions (registry folders, path
// translation, time stamps) are described in platform/README.md.

#include <dirent.h>
#include <fcntl.h>
#include <langinfo.h>
#include <locale.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/uio.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/durable_file_posix.h"
#include "platform/platform.h"
#include "platform/stamp_posix.h"
#include "platform/time_format_posix.h"

namespace mervane {
namespace platform {

// The folder of an open key and whether it was opened for writing.
struct RegistryHandleRep {
  std::string folder;
  bool writable;
};

namespace {

constexpr const char kDefaultRegistryRoot[] = "/var/lib/mervane/registry";

// Seconds from 1601-01-01 (FILETIME's epoch) to 1970-01-01.
constexpr int64_t kUnixEpochInFileTimeSeconds = 11644473600LL;

FileTime ToFileTime(const struct timespec& time) {
  const uint64_t intervals =
      static_cast<uint64_t>(time.tv_sec + kUnixEpochInFileTimeSeconds) *
          10000000u +
      static_cast<uint64_t>(time.tv_nsec) / 100u;
  FileTime result;
  result.low = static_cast<uint32_t>(intervals);
  result.high = static_cast<uint32_t>(intervals >> 32);
  return result;
}

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; }

bool EqualIgnoringAsciiCase(const char* a, const char* b) {
  for (; *a != '\0' && AsciiLower(*a) == AsciiLower(*b); ++a, ++b) {
  }
  return *a == *b;
}

// A folder's entries being read, closed however the reading ends (an
// allocation that fails included).
struct DirCloser {
  void operator()(DIR* dir) const { closedir(dir); }
};
using ScopedDir = std::unique_ptr<DIR, DirCloser>;

// A name that can stand for one folder entry: not empty, not "." or "..",
// without '/'.
bool IsEntryName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find('/') == std::string_view::npos;
}

bool IsDirectoryAt(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsRegularFileAt(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Finds the entry of `folder` named `name` without regard to ASCII letter
// case that is a directory (or a regular file); stores its full path in
// *path. An entry spelled exactly as asked wins over the others.
bool FindEntry(const std::string& folder, const std::string& name,
               bool directory, std::string* path) {
  if (!IsEntryName(name)) return false;
  auto has_kind = directory ? IsDirectoryAt : IsRegularFileAt;
  const std::string exact = folder + "/" + name;
  if (has_kind(exact)) {
    *path = exact;
    return true;
  }
  const ScopedDir dir(opendir(folder.c_str()));
  if (dir == nullptr) return false;
  while (const struct dirent* entry = readdir(dir.get())) {
    if (EqualIgnoringAsciiCase(entry->d_name, name.c_str()) &&
        has_kind(folder + "/" + entry->d_name)) {
      *path = folder + "/" + entry->d_name;
      return true;
    }
  }
  return false;
}

// The folder `name` of `folder`, found without regard to case, or made when
// `create` is set and it is missing.
bool EnterFolder(const std::string& folder, const std::string& name,
                 bool create, std::string* path) {
  if (FindEntry(folder, name, true, path)) return true;
  if (!create || !IsEntryName(name)) return false;
  const std::string made = folder + "/" + name;
  // Another process may make the same key at the same moment.
  if (mkdir(made.c_str(), 0777) != 0 && errno != EEXIST) return false;
  return FindEntry(folder, name, true, path);
}

bool MakeFolders(const std::string& path) {
  for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    const std::string prefix = path.substr(0, slash);
    if (mkdir(prefix.c_str(), 0777) != 0 && errno != EEXIST) return false;
    if (slash == std::string::npos) return IsDirectoryAt(path);
  }
}

// A copy of the variable's value; none when it is unset.
std::optional<std::string> CopyOfEnvironment(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr) return std::nullopt;
  return value;
}

std::string RegistryRootFolder() {
  const char* root = std::getenv("MERVANE_REGISTRY");
  return root != nullptr && *root != '\0' ? root : kDefaultRegistryRoot;
}

const char* HiveName(RegistryRoot root) {
  return root == RegistryRoot::kLocalMachine ? "HKEY_LOCAL_MACHINE"
                                             : "HKEY_CURRENT_USER";
}

// Path of the value file, or false when the key has no such value.
bool FindValueFile(RegistryHandle key, const char* name, std::string* path) {
  return key != nullptr && name != nullptr &&
         FindEntry(key->folder, name, false, path);
}

// The hidden sibling through which `path` is replaced.
std::string SiblingBase(const std::string& path) {
  const size_t slash = path.rfind('/');
  const std::string folder =
      slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  return folder + "." + path.substr(slash + 1);
}

// The user's LC_TIME, read once and kept, without touching the process's
// locale: loading it costs far more than formatting one stamp.
struct UserTimeLocale {
  UserTimeLocale() {
    locale = newlocale(LC_TIME_MASK, "", nullptr);
    if (locale == nullptr) locale = newlocale(LC_TIME_MASK, "C", nullptr);
    if (locale == nullptr) return;
    time_format = TimeFormatWithoutSeconds(nl_langinfo_l(T_FMT, locale),
                                           nl_langinfo_l(T_FMT_AMPM, locale));
  }
  ~UserTimeLocale() {
    if (locale != nullptr) freelocale(locale);
  }
  UserTimeLocale(const UserTimeLocale&) = delete;
  UserTimeLocale& operator=(const UserTimeLocale&) = delete;

  locale_t locale;
  std::string time_format;  // the locale's, without seconds
};

}  // namespace

// ---- Registry -------------------------------------------------------------

RegistryHandle OpenRegistryKey(RegistryRoot root, const char* path,
                               bool create) {
  if (path == nullptr) return nullptr;
  std::string folder = RegistryRootFolder();
  if (create && !MakeFolders(folder)) return nullptr;
  if (!EnterFolder(folder, HiveName(root), create, &folder)) return nullptr;
  const std::string key_path = path;
  size_t start = 0;
  while (start <= key_path.size()) {
    size_t end = key_path.find('\\', start);
    if (end == std::string::npos) end = key_path.size();
    if (end > start && !EnterFolder(folder, key_path.substr(start, end - start),
                                    create, &folder)) {
      return nullptr;
    }
    start = end + 1;
  }
  return new RegistryHandleRep{folder, create};
}

void CloseRegistryKey(RegistryHandle key) { delete key; }

bool QueryRegistryKeyInfo(RegistryHandle key, RegistryKeyInfo* info) {
  struct stat folder_stat;
  if (key == nullptr || stat(key->folder.c_str(), &folder_stat) != 0) {
    return false;
  }
  const ScopedDir dir(opendir(key->folder.c_str()));
  if (dir == nullptr) return false;
  *info = RegistryKeyInfo();
  while (const struct dirent* entry = readdir(dir.get())) {
    struct stat st;
    if (!IsEntryName(entry->d_name) ||
        fstatat(dirfd(dir.get()), entry->d_name, &st, 0) != 0) {
      continue;
    }
    const std::string_view name = entry->d_name;
    const auto length = static_cast<uint32_t>(name.size());
    if (S_ISDIR(st.st_mode)) {
      ++info->sub_keys;
      if (length > info->max_sub_key_length) info->max_sub_key_length = length;
    } else if (S_ISREG(st.st_mode)) {
      ++info->values;
      if (length > info->max_value_name_length) {
        info->max_value_name_length = length;
      }
      const auto size = static_cast<uint32_t>(st.st_size);
      if (size > info->max_value_data_length) {
        info->max_value_data_length = size;
      }
    }
  }
  const FileTime written = ToFileTime(folder_stat.st_mtim);
  info->last_write_time_low = written.low;
  info->last_write_time_high = written.high;
  return true;
}

bool QueryRegistryValueSize(RegistryHandle key, const char* name,
                            uint32_t* size) {
  std::string path;
  struct stat st;
  if (!FindValueFile(key, name, &path) || stat(path.c_str(), &st) != 0 ||
      static_cast<uint64_t>(st.st_size) > UINT32_MAX) {
    return false;
  }
  *size = static_cast<uint32_t>(st.st_size);
  return true;
}

bool ReadRegistryValue(RegistryHandle key, const char* name, void* buffer,
                       uint32_t* size) {
  std::string path;
  if (!FindValueFile(key, name, &path)) return false;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  // One byte more than the buffer holds tells a value that does not fit.
  std::string data(static_cast<size_t>(*size) + 1, '\0');
  const size_t read = std::fread(&data[0], 1, data.size(), file);
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed || read > *size) return false;
  if (read > 0) std::memcpy(buffer, data.data(), read);
  *size = static_cast<uint32_t>(read);
  return true;
}

bool WriteRegistryString(RegistryHandle key, const char* name,
                         const char* text) {
  if (key == nullptr || !key->writable || name == nullptr || text == nullptr ||
      !IsEntryName(name)) {
    return false;
  }
  std::string path;
  if (!FindValueFile(key, name, &path)) path = key->folder + "/" + name;
  // No lock keeps two writers of a key apart: each writes through a name
  // of its own.
  static std::atomic<unsigned> counter{0};
  const std::string temp = SiblingBase(path) + ".tmp" +
                           std::to_string(getpid()) + "-" +
                           std::to_string(counter++);
  ReplaceStep step;
  return ReplaceNativeFile(temp, path, std::string(text, std::strlen(text) + 1),
                           &step) != Replacement::kFailed;
}

bool DeleteRegistryValue(RegistryHandle key, const char* name) {
  std::string path;
  return key != nullptr && key->writable && FindValueFile(key, name, &path) &&
         unlink(path.c_str()) == 0;
}

// ---- Files ----------------------------------------------------------------

std::string NativePath(const char* path) {
  // A null path names no file; the empty text makes every use of it fail.
  if (path == nullptr) return std::string();
  // Built in one string: this runs for every request the filter maps.
  std::string native;
  const char* rest = path;
  const bool has_drive = AsciiLower(path[0]) >= 'a' &&
                         AsciiLower(path[0]) <= 'z' && path[1] == ':';
  if (has_drive) {
    rest = path + 2;
    // Read once: the environment may change under a running server.
    static const std::optional<std::string> drives =
        CopyOfEnvironment("MERVANE_DRIVES");
    if (drives) {
      native.reserve(drives->size() + std::strlen(rest) + 3);
      native.append(*drives).append(1, '/').append(1, AsciiLower(path[0]));
      if (*rest != '\\' && *rest != '/' && *rest != '\0') native += '/';
    }
  }
  const std::size_t converted = native.size();
  native += rest;
  for (std::size_t i = converted; i < native.size(); ++i) {
    if (native[i] == '\\') native[i] = '/';
  }
  return native;
}

bool QueryFileStamp(const char* path, FileStamp* stamp) {
  struct stat st;
  if (stat(NativePath(path).c_str(), &st) != 0 || S_ISDIR(st.st_mode)) {
    return false;
  }
  *stamp = StampOf(st);
  return true;
}

FileStamp StampOf(const struct stat& st) {
  FileStamp stamp;
  stamp.last_write_time = ToFileTime(st.st_mtim);
  stamp.size = static_cast<uint64_t>(st.st_size);
  stamp.identity[0] = static_cast<uint64_t>(st.st_dev);
  stamp.identity[1] = static_cast<uint64_t>(st.st_ino);
  stamp.changed = ToFileTime(st.st_ctim);
  return stamp;
}

FileStamp StampKeptByRename(const FileStamp& stamp) {
  FileStamp kept = stamp;
  kept.changed = FileTime();
  return kept;
}

bool FindFileEntry(const char* path, bool* is_directory) {
  struct stat st;
  if (stat(NativePath(path).c_str(), &st) != 0) return false;
  *is_directory = S_ISDIR(st.st_mode);
  return true;
}

std::FILE* OpenFile(const char* path, const char* mode) {
  // POSIX streams have no text mode; "t" means nothing here. Closed on exec
  // ("e"), so that no program the server starts inherits the file.
  std::string native_mode;
  for (const char* m = mode; *m != '\0'; ++m) {
    if (*m != 't') native_mode += *m;
  }
  native_mode += 'e';
  return std::fopen(NativePath(path).c_str(), native_mode.c_str());
}

bool DeleteFileAt(const char* path) {
  return unlink(NativePath(path).c_str()) == 0;
}

// ---- Time, resources, process ---------------------------------------------

void FormatLogTimeStamp(char* buffer, std::size_t size) {
  if (size == 0) return;
  buffer[0] = '\0';
  static const UserTimeLocale user;
  if (user.locale == nullptr) return;
  const time_t now = time(nullptr);
  struct tm local;
  char time_text[256] = "";
  char date_text[256] = "";
  if (localtime_r(&now, &local) != nullptr) {
    strftime_l(time_text, sizeof time_text, user.time_format.c_str(), &local,
               user.locale);
    strftime_l(date_text, sizeof date_text, "%x", &local, user.locale);
  }
  std::snprintf(buffer, size, "%s, %s", time_text, date_text);
}

uint64_t MonotonicMilliseconds() {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
  return static_cast<uint64_t>(now.tv_sec) * 1000u +
         static_cast<uint64_t>(now.tv_nsec) / 1000000u;
}

void ReportFailure(const char* message) {
  // One write, so that lines of processes sharing the error log stay whole;
  // no allocation, so that it reports running out of memory too.
  static const char kPrefix[] = "mervane: ";
  struct iovec parts[] = {
      {const_cast<char*>(kPrefix), sizeof kPrefix - 1},
      {const_cast<char*>(message), std::strlen(message)},
      {const_cast<char*>("\n"), 1},
  };
  const ssize_t ignored = writev(STDERR_FILENO, parts, 3);
  static_cast<void>(ignored);
}

bool AppendToFile(const char* path, const char* text, std::size_t size) {
  // O_APPEND moves to the end and writes in one step for every writer.
  const int fd = open(NativePath(path).c_str(),
                      O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  const bool written = write(fd, text, size) == static_cast<ssize_t>(size);
  return close(fd) == 0 && written;
}

void UseBinaryStdio() {}

void ReleaseFreeMemory() {
#if defined(__GLIBC__)
  // glibc keeps freed small blocks in its arenas for reuse.
  malloc_trim(0);
#endif
}

void* AllocatePages(std::size_t size) {
  void* pages = mmap(nullptr, size, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  return pages != MAP_FAILED ? pages : nullptr;
}

void FreePages(void* pages, std::size_t size) { munmap(pages, size); }

}  // namespace platform
}  // namespace mervane
