#include "config/registry_key.h"

#include <cstring>
#include <new>

#include "config/config_schema.h"

namespace mervane {

RegistryKey::RegistryKey(Root root, const char* path) {
  Open(root, path, false);
}

RegistryKey::RegistryKey(int create, Root root, const char* path) {
  Open(root, path, create != 0);
}

RegistryKey::~RegistryKey() { Close(); }

void RegistryKey::Open(Root root, const char* path, bool create) {
  if (path == nullptr) return;
  handle_ = platform::OpenRegistryKey(root, path, create);
  if (handle_ == nullptr) return;
  writable_ = create;
  platform::QueryRegistryKeyInfo(handle_, &info_);
}

void RegistryKey::Close() {
  if (handle_ == nullptr) return;
  platform::CloseRegistryKey(handle_);
  handle_ = nullptr;
  writable_ = false;
}

uint32_t RegistryKey::ValueSize(const char* value_name) const {
  uint32_t size = 0;
  if (handle_ == nullptr ||
      !platform::QueryRegistryValueSize(handle_, value_name, &size)) {
    return 0;
  }
  return size;
}

uint32_t RegistryKey::ReadValue(const char* value_name, void* buffer,
                                uint32_t size) const {
  if (handle_ == nullptr || buffer == nullptr) return 0;
  uint32_t stored = size;
  if (!platform::ReadRegistryValue(handle_, value_name, buffer, &stored)) {
    return 0;
  }
  return stored;
}

std::unique_ptr<char[]> RegistryKey::ReadString(const char* value_name) const {
  uint32_t size = ValueSize(value_name);
  if (size == 0) return nullptr;
  // One byte more than the data, so that data stored without its
  // terminator still reads as a text.
  std::unique_ptr<char[]> text(
      new (std::nothrow) char[static_cast<size_t>(size) + 1]);
  if (text == nullptr) return nullptr;
  uint32_t stored = ReadValue(value_name, text.get(), size);
  if (stored == 0) return nullptr;
  text[stored] = '\0';
  return text;
}

int RegistryKey::WriteString(const char* value_name, const char* text) {
  if (handle_ == nullptr || !writable_ || text == nullptr) return 0;
  return platform::WriteRegistryString(handle_, value_name, text) ? 1 : 0;
}

std::unique_ptr<char[]> ReadConfigurationPath() {
  RegistryKey key(RegistryKey::Root::kLocalMachine, schema::kRegistryKeyPath);
  std::unique_ptr<char[]> path;
  if (key.IsOpen()) path = key.ReadString(schema::kRegistryValueName);
  key.Close();
  if (path != nullptr && std::strlen(path.get()) > kLongestConfigurationPath) {
    path.reset();
  }
  return path;
}

bool IsAcceptableConfigurationPath(const char* path) {
  const size_t length = std::strlen(path);
  if (length == 0 || length > kLongestConfigurationPath) return false;
  for (size_t i = 0; i < length; ++i) {
    const unsigned char c = static_cast<unsigned char>(path[i]);
    if (c < 0x20 || c == 0x7F) return false;
  }
  return true;
}

}  // namespace mervane
