// Durable replacement of a file on Windows.

#include <windows.h>

#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/win32_helpers.h"

namespace mervane {
namespace platform {

namespace {

// Gives `temp` the access control list of `target`, so that a save keeps
// who may read and change the file; nothing to do for a first save.
bool TakeAccessControl(const char* target, const char* temp) {
  DWORD size = 0;
  if (!GetFileSecurityA(target, DACL_SECURITY_INFORMATION, nullptr, 0, &size)) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND) return true;
    if (error != ERROR_INSUFFICIENT_BUFFER) return false;
  }
  std::vector<char> descriptor(size);
  return GetFileSecurityA(target, DACL_SECURITY_INFORMATION, descriptor.data(),
                          size, &size) &&
         SetFileSecurityA(temp, DACL_SECURITY_INFORMATION, descriptor.data());
}

// Dates the fresh file after the file it replaces, even within one tick of
// the file system's clock: the filter tells a save by the file's stamp, and
// the creation time that stands for its identity here may be carried over
// to a file renamed to the old name.
bool DateAfter(HANDLE file, const char* target) {
  WIN32_FILE_ATTRIBUTE_DATA old;
  if (!GetFileAttributesExA(target, GetFileExInfoStandard, &old)) return true;
  FILETIME written;
  if (!GetFileTime(file, nullptr, nullptr, &written)) return false;
  ULARGE_INTEGER after;
  after.LowPart = old.ftLastWriteTime.dwLowDateTime;
  after.HighPart = old.ftLastWriteTime.dwHighDateTime;
  ++after.QuadPart;
  const FILETIME later = {after.LowPart, after.HighPart};
  return CompareFileTime(&written, &later) >= 0 ||
         SetFileTime(file, nullptr, nullptr, &later);
}

// Makes the fresh file `temp` hold data (line feeds as CR LF), flushed to
// the disk, dated after `target` and with its access control list. GetLastError
// tells why when it fails; nothing is left behind.
bool WriteFreshFile(const char* temp, const char* target,
                    const std::string& data, bool binary) {
  // Whatever a killed save left at the name goes first.
  DeleteFileA(temp);
  bool written = false;
  {
    ScopedHandle file(CreateFileA(temp, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    const std::string text =
        binary ? data : WithSystemLineEnds(data.data(), data.size());
    DWORD size = 0;
    written = file.IsValid() &&
              WriteFile(file.get(), text.data(),
                        static_cast<DWORD>(text.size()), &size, nullptr) &&
              size == text.size() && DateAfter(file.get(), target) &&
              FlushFileBuffers(file.get());
  }
  if (written && TakeAccessControl(target, temp)) return true;
  const DWORD error = GetLastError();
  DeleteFileA(temp);
  SetLastError(error);
  return false;
}

// Moves temp over target, written through to the disk.
bool MoveOver(const char* temp, const char* target) {
  // The filter opens the file to read it for a reload, without sharing
  // deletion; a replace that meets such a moment is tried again rather than
  // failing the administrator's save.
  constexpr int kTries = 20;
  constexpr DWORD kPauseMilliseconds = 50;
  for (int attempt = 1;; ++attempt) {
    if (MoveFileExA(temp, target,
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      return true;
    }
    const DWORD error = GetLastError();
    const bool busy =
        error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED;
    if (!busy || attempt == kTries) return false;
    Sleep(kPauseMilliseconds);
  }
}

// Runs the caller's step on the complete fresh file; removes the file when
// the step refuses.
bool BeforeRename(const char* temp_path, const ReplaceSteps& steps,
                  std::string* problem) {
  FileStamp fresh;
  std::string refusal;
  if (QueryFileStamp(temp_path, &fresh) &&
      steps.before_rename(temp_path, fresh, &refusal)) {
    return true;
  }
  if (refusal.empty())
    refusal = std::string(temp_path) + ": " + LastErrorText();
  DeleteFileA(temp_path);
  *problem = refusal;
  return false;
}

}  // namespace

Replacement ReplaceFileDurably(const char* temp_path, const char* target,
                               const std::string& data, std::string* problem) {
  return ReplaceFileDurably(temp_path, target, data, problem, ReplaceSteps());
}

Replacement ReplaceFileDurably(const char* temp_path, const char* target,
                               const std::string& data, std::string* problem,
                               const ReplaceSteps& steps) {
  if (!WriteFreshFile(temp_path, target, data, steps.binary)) {
    *problem = std::string(temp_path) + ": " + LastErrorText();
    return Replacement::kFailed;
  }
  if (steps.before_rename && !BeforeRename(temp_path, steps, problem)) {
    return Replacement::kFailed;
  }
  if (!MoveOver(temp_path, target)) {
    const DWORD error = GetLastError();
    DeleteFileA(temp_path);
    SetLastError(error);
    *problem = std::string(target) + ": " + LastErrorText();
    return Replacement::kFailed;
  }
  // The write-through move leaves nothing to flush.
  return Replacement::kDurable;
}

}  // namespace platform
}  // namespace mervane
