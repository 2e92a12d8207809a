#include "platform/library_loader.h"

#include <windows.h>

namespace mervane {
namespace platform {

LibraryLoader::LibraryLoader(const char* path) : handle_(LoadLibraryA(path)) {}

LibraryLoader::~LibraryLoader() {
  if (handle_ != nullptr) FreeLibrary(static_cast<HMODULE>(handle_));
}

void* LibraryLoader::Symbol(const char* name) const {
  if (handle_ == nullptr) return nullptr;
  return reinterpret_cast<void*>(
      GetProcAddress(static_cast<HMODULE>(handle_), name));
}

}  // namespace platform
}  // namespace mervane
