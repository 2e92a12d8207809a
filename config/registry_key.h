// RegistryKey: one open key of the Windows registry (through the platform
// layer; on POSIX a folder store). Read and write string values.
//
// The key is not closed by the destructor's contract: every user calls
// Close() when done (the destructor closes a key left open, as a safety net).
//
// Thread safety: a key belongs to one thread.

#ifndef MERVANE_CONFIG_REGISTRY_KEY_H_
#define MERVANE_CONFIG_REGISTRY_KEY_H_

#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/platform.h"

namespace mervane {

class RegistryKey {
 public:
  using Root = platform::RegistryRoot;

  // Opens the key for reading; IsOpen() tells whether it did.
  RegistryKey(Root root, const char* path);
  // create nonzero: opens the key for all access, creating it when missing;
  // the key is writable. create zero: as the read constructor.
  RegistryKey(int create, Root root, const char* path);
  ~RegistryKey();
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;

  int IsOpen() const { return handle_ != nullptr; }
  void Close();

  // Byte size of the value's data; 0 when the key is not open or the value
  // cannot be queried.
  uint32_t ValueSize(const char* value_name) const;
  // Reads the data into buffer; returns the bytes stored, 0 on failure.
  uint32_t ReadValue(const char* value_name, void* buffer, uint32_t size) const;
  // The value's data as stored (terminator included when stored with one),
  // followed by an extra terminator so that the result is always a text.
  // Null when the value is missing, empty or unreadable.
  std::unique_ptr<char[]> ReadString(const char* value_name) const;
  // Stores text with its terminator as a REG_SZ value. Returns 1 on success,
  // 0 when the key is not open, not writable, or the write fails.
  int WriteString(const char* value_name, const char* text);

 private:
  void Open(Root root, const char* path, bool create);

  platform::RegistryHandle handle_ = nullptr;
  bool writable_ = false;
  platform::RegistryKeyInfo info_;  // captured at open; nothing reads it
};

// Paths of the configuration file fit Windows' MAX_PATH buffers: at most
// 259 characters.
inline constexpr size_t kLongestConfigurationPath = 259;

// The configuration file's path that both programs find in the registry
// value "Configuration File" of HKEY_LOCAL_MACHINE\Software\Halvost
// soft\Mervane. Null when the key or the value is missing or empty, or when
// the path is too long for a path buffer: such a path is refused like a
// missing one rather than cut to the name of some other file.
std::unique_ptr<char[]> ReadConfigurationPath();

// Whether an administrator's text may become that path: not empty, no
// control character (a line break included), at most
// kLongestConfigurationPath characters.
bool IsAcceptableConfigurationPath(const char* path);

}  // namespace mervane

#endif  // MERVANE_CONFIG_REGISTRY_KEY_H_
