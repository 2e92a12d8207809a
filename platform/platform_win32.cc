// The platform layer on Windows: the Windows API itself. Paths are used as
// given; registry keys, files and streams are those of the system.

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/platform.h"
#include "platform/win32_helpers.h"

namespace mervane {
namespace platform {

// An open registry key, closed when the handle is released.
struct RegistryHandleRep {
  explicit RegistryHandleRep(HKEY opened) : key(opened) {}
  ~RegistryHandleRep() { RegCloseKey(key); }
  RegistryHandleRep(const RegistryHandleRep&) = delete;
  RegistryHandleRep& operator=(const RegistryHandleRep&) = delete;

  const HKEY key;
};

namespace {

// A FindFirstFile search, ended with FindClose.
class ScopedFind {
 public:
  ScopedFind(const char* pattern, WIN32_FIND_DATAA* data)
      : handle_(FindFirstFileA(pattern, data)) {}
  ~ScopedFind() {
    if (IsValid()) FindClose(handle_);
  }
  ScopedFind(const ScopedFind&) = delete;
  ScopedFind& operator=(const ScopedFind&) = delete;

  bool IsValid() const { return handle_ != INVALID_HANDLE_VALUE; }

 private:
  const HANDLE handle_;
};

HKEY RootKey(RegistryRoot root) {
  return root == RegistryRoot::kLocalMachine ? HKEY_LOCAL_MACHINE
                                             : HKEY_CURRENT_USER;
}

// The module (DLL or program) whose code contains this function.
HMODULE ThisModule() {
  HMODULE module = nullptr;
  if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                              GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCSTR>(&ThisModule), &module)) {
    return nullptr;
  }
  return module;
}

}  // namespace

// ---- Registry -------------------------------------------------------------

RegistryHandle OpenRegistryKey(RegistryRoot root, const char* path,
                               bool create) {
  HKEY key = nullptr;
  const LONG status =
      create ? RegCreateKeyExA(RootKey(root), path, 0, nullptr, 0,
                               KEY_ALL_ACCESS, nullptr, &key, nullptr)
             : RegOpenKeyExA(RootKey(root), path, 0, KEY_READ, &key);
  if (status != ERROR_SUCCESS) return nullptr;
  return new RegistryHandleRep(key);
}

void CloseRegistryKey(RegistryHandle key) { delete key; }

bool QueryRegistryKeyInfo(RegistryHandle key, RegistryKeyInfo* info) {
  if (key == nullptr) return false;
  DWORD class_length = sizeof info->class_name;
  DWORD sub_keys, max_sub_key_length, max_class_length, values,
      max_value_name_length, max_value_data_length, security_descriptor_size;
  FILETIME written;
  if (RegQueryInfoKeyA(key->key, info->class_name, &class_length, nullptr,
                       &sub_keys, &max_sub_key_length, &max_class_length,
                       &values, &max_value_name_length, &max_value_data_length,
                       &security_descriptor_size, &written) != ERROR_SUCCESS) {
    return false;
  }
  info->class_length = class_length;
  info->sub_keys = sub_keys;
  info->max_sub_key_length = max_sub_key_length;
  info->max_class_length = max_class_length;
  info->values = values;
  info->max_value_name_length = max_value_name_length;
  info->max_value_data_length = max_value_data_length;
  info->security_descriptor_size = security_descriptor_size;
  info->last_write_time_low = written.dwLowDateTime;
  info->last_write_time_high = written.dwHighDateTime;
  return true;
}

bool QueryRegistryValueSize(RegistryHandle key, const char* name,
                            uint32_t* size) {
  DWORD data_size = 0;
  if (key == nullptr ||
      RegQueryValueExA(key->key, name, nullptr, nullptr, nullptr, &data_size) !=
          ERROR_SUCCESS) {
    return false;
  }
  *size = data_size;
  return true;
}

bool ReadRegistryValue(RegistryHandle key, const char* name, void* buffer,
                       uint32_t* size) {
  DWORD data_size = *size;
  if (key == nullptr || RegQueryValueExA(key->key, name, nullptr, nullptr,
                                         static_cast<BYTE*>(buffer),
                                         &data_size) != ERROR_SUCCESS) {
    return false;
  }
  *size = data_size;
  return true;
}

bool WriteRegistryString(RegistryHandle key, const char* name,
                         const char* text) {
  if (key == nullptr || text == nullptr) return false;
  const DWORD size = static_cast<DWORD>(std::strlen(text) + 1);
  return RegSetValueExA(key->key, name, 0, REG_SZ,
                        reinterpret_cast<const BYTE*>(text),
                        size) == ERROR_SUCCESS;
}

bool DeleteRegistryValue(RegistryHandle key, const char* name) {
  return key != nullptr && RegDeleteValueA(key->key, name) == ERROR_SUCCESS;
}

// ---- Files ----------------------------------------------------------------

bool QueryFileStamp(const char* path, FileStamp* stamp) {
  // Not through a handle: a file open in any way, whatever it shares, cannot
  // be replaced, and the administrator's save would fail.
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data) ||
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return false;
  }
  stamp->last_write_time = {data.ftLastWriteTime.dwLowDateTime,
                            data.ftLastWriteTime.dwHighDateTime};
  stamp->size = (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
  stamp->identity[0] = data.ftCreationTime.dwLowDateTime;
  stamp->identity[1] = data.ftCreationTime.dwHighDateTime;
  return true;
}

FileStamp StampKeptByRename(const FileStamp& stamp) {
  FileStamp kept = stamp;
  kept.identity[0] = kept.identity[1] = 0;
  return kept;
}

bool FindFileEntry(const char* path, bool* is_directory) {
  WIN32_FIND_DATAA data;
  ScopedFind find(path, &data);
  if (!find.IsValid()) return false;
  *is_directory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  return true;
}

std::FILE* OpenFile(const char* path, const char* mode) {
  // A file that a save is replacing at this moment refuses to be opened
  // (access denied or a sharing violation, both EACCES) until the replace is
  // done: a read that meets that moment waits it out instead of failing,
  // which would leave the filter without a configuration until the next
  // save. Writers never meet it: they work on files of their own.
  constexpr int kTries = 10;
  constexpr DWORD kPauseMilliseconds = 5;
  // Not inherited ("N"): a program started at that moment (a CGI program
  // of the server, the administration's) would hold the file open for its
  // whole run, and no save could replace it meanwhile.
  const std::string private_mode = std::string(mode) + "N";
  for (int attempt = 1;; ++attempt) {
    std::FILE* file = std::fopen(path, private_mode.c_str());
    if (file != nullptr || mode[0] != 'r' || errno != EACCES ||
        attempt == kTries) {
      return file;
    }
    Sleep(kPauseMilliseconds);
  }
}

bool DeleteFileAt(const char* path) { return DeleteFileA(path) != 0; }

std::string NativePath(const char* path) { return path != nullptr ? path : ""; }

// ---- Time, resources, process ---------------------------------------------

void FormatLogTimeStamp(char* buffer, std::size_t size) {
  if (size == 0) return;
  SYSTEMTIME now;
  GetLocalTime(&now);
  char time_text[256];
  char date_text[256];
  if (GetTimeFormatA(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &now, nullptr,
                     time_text, sizeof time_text) == 0) {
    time_text[0] = '\0';
  }
  if (GetDateFormatA(LOCALE_USER_DEFAULT, 0, &now, nullptr, date_text,
                     sizeof date_text) == 0) {
    date_text[0] = '\0';
  }
  std::snprintf(buffer, size, "%s, %s", time_text, date_text);
}

int LoadStringResource(unsigned id, char* buffer, int size) {
  if (buffer == nullptr || size <= 0) return 0;
  buffer[0] = '\0';
  // The strings belong to the module holding this code (the filter DLL
  // inside the server's process), not to the process's program.
  const HMODULE module = ThisModule();
  return module != nullptr ? LoadStringA(module, id, buffer, size) : 0;
}

uint64_t MonotonicMilliseconds() { return GetTickCount64(); }

void ReportFailure(const char* message) {
  const HANDLE source = RegisterEventSourceA(nullptr, "Mervane");
  if (source == nullptr) return;
  const char* strings[] = {message};
  ReportEventA(source, EVENTLOG_ERROR_TYPE, 0, 0, nullptr, 1, 0, strings,
               nullptr);
  DeregisterEventSource(source);
}

bool AppendToFile(const char* path, const char* text, std::size_t size) {
  const std::string block = WithSystemLineEnds(text, size);
  // With FILE_APPEND_DATA alone every write goes to the end in one step.
  ScopedHandle file(CreateFileA(path, FILE_APPEND_DATA,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsValid()) return false;
  // Windows itself lands such a write whole, but Wine finds the end and
  // writes in two steps, so that appends at once overwrite each other. A
  // lock on one byte far past any end takes turns among all handles and
  // processes and leaves the file's bytes free to readers; where it cannot
  // be taken the write goes ahead unlocked.
  OVERLAPPED far_byte = {};
  far_byte.Offset = 0xffffffff;
  far_byte.OffsetHigh = 0x7fffffff;
  const bool locked =
      LockFileEx(file.get(), LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &far_byte);
  DWORD written = 0;
  const bool whole =
      WriteFile(file.get(), block.data(), static_cast<DWORD>(block.size()),
                &written, nullptr) &&
      written == block.size();
  if (locked) UnlockFileEx(file.get(), 0, 1, 0, &far_byte);
  return whole;
}

void UseBinaryStdio() {
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
}

void ReleaseFreeMemory() { HeapCompact(GetProcessHeap(), 0); }

void* AllocatePages(std::size_t size) {
  return VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
}

void FreePages(void* pages, std::size_t) { VirtualFree(pages, 0, MEM_RELEASE); }

}  // namespace platform
}  // namespace mervane
