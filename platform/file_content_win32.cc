// A whole file in memory on Windows: always read, never mapped, since a
// mapped file cannot be replaced and the administrator's save would fail.

#include <windows.h>

#include <string>

#include "platform/platform.h"
#include "platform/win32_helpers.h"

namespace mervane {
namespace platform {

struct FileContentRep {
  void* data = nullptr;
  std::size_t size = 0;
};

namespace {

bool ReadWhole(HANDLE file, FileContentRep* content) {
  if (content->size == 0) return true;
  content->data = AllocatePages(content->size);
  if (content->data == nullptr) return false;
  char* into = static_cast<char*>(content->data);
  for (std::size_t done = 0; done < content->size;) {
    constexpr std::size_t kChunk = std::size_t{1} << 30;
    const std::size_t left = content->size - done;
    DWORD got = 0;
    if (!ReadFile(file, into + done,
                  static_cast<DWORD>(left < kChunk ? left : kChunk), &got,
                  nullptr)) {
      return false;
    }
    if (got == 0) {
      SetLastError(ERROR_HANDLE_EOF);
      return false;
    }
    done += got;
  }
  return true;
}

}  // namespace

FileContent OpenFileContent(const char* path, FileStamp* stamp,
                            std::string* problem) {
  // Shared for every access, deletion included: a save may rename over the
  // file while it is read here.
  ScopedHandle file(
      CreateFileA(path, GENERIC_READ,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  BY_HANDLE_FILE_INFORMATION info;
  auto* content = new FileContentRep();
  bool filled =
      file.IsValid() && GetFileInformationByHandle(file.get(), &info) != 0;
  if (filled) {
    const uint64_t size =
        (uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
    content->size = static_cast<std::size_t>(size);
    // A 32-bit process cannot hold more.
    filled = content->size == size && ReadWhole(file.get(), content);
  }
  if (!filled) {
    *problem = LastErrorText();
    CloseFileContent(content);
    return nullptr;
  }
  *stamp = FileStamp();
  stamp->last_write_time = {info.ftLastWriteTime.dwLowDateTime,
                            info.ftLastWriteTime.dwHighDateTime};
  stamp->size = content->size;
  stamp->identity[0] = info.ftCreationTime.dwLowDateTime;
  stamp->identity[1] = info.ftCreationTime.dwHighDateTime;
  return content;
}

const char* FileContentData(FileContent content) {
  return static_cast<const char*>(content->data);
}

std::size_t FileContentSize(FileContent content) { return content->size; }

bool FileContentIsMapped(FileContent) { return false; }

void CloseFileContent(FileContent content) {
  if (content->data != nullptr) FreePages(content->data, content->size);
  delete content;
}

}  // namespace platform
}  // namespace mervane
