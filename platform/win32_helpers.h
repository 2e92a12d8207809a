// Small pieces that more than one Windows source of the layer uses. Private
// to the layer.

#ifndef MERVANE_PLATFORM_WIN32_HELPERS_H_
#define MERVANE_PLATFORM_WIN32_HELPERS_H_

#include <windows.h>

#include <cstddef>
#include <string>

namespace mervane {
namespace platform {

// A kernel object handle, closed by its owner.
class ScopedHandle {
 public:
  explicit ScopedHandle(HANDLE handle) : handle_(handle) {}
  ~ScopedHandle() {
    if (IsValid()) CloseHandle(handle_);
  }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;

  bool IsValid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }

 private:
  const HANDLE handle_;
};

// The text with every line feed written as CR LF, as text mode writes it.
inline std::string WithSystemLineEnds(const char* text, std::size_t size) {
  std::string block;
  block.reserve(size + size / 16);
  for (const char* c = text; c != text + size; ++c) {
    if (*c == '\n') block += '\r';
    block += *c;
  }
  return block;
}

}  // namespace platform
}  // namespace mervane

#endif  // MERVANE_PLATFORM_WIN32_HELPERS_H_
