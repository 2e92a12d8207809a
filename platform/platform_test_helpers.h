// Helpers shared by the POSIX and the Windows tests of the platform layer.

#ifndef MERVANE_PLATFORM_PLATFORM_TEST_HELPERS_H_
#define MERVANE_PLATFORM_PLATFORM_TEST_HELPERS_H_

#include <fstream>
#include <iterator>
#include <string>

#include "platform/platform.h"

namespace mervane {
namespace platform {

// The bytes of a file, as stored.
inline std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// A registry value's data as stored, "<missing>" when it has no size and
// "<unread>" when it cannot be read.
inline std::string ReadValueData(RegistryHandle key, const char* name) {
  uint32_t size = 0;
  if (!QueryRegistryValueSize(key, name, &size)) return "<missing>";
  std::string data(size, '?');
  if (!ReadRegistryValue(key, name, &data[0], &size)) return "<unread>";
  data.resize(size);
  return data;
}

}  // namespace platform
}  // namespace mervane

#endif  // MERVANE_PLATFORM_PLATFORM_TEST_HELPERS_H_
