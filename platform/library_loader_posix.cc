#include "platform/library_loader.h"

#include <dlfcn.h>

namespace mervane {
namespace platform {

LibraryLoader::LibraryLoader(const char* path)
    : handle_(dlopen(path, RTLD_NOW | RTLD_LOCAL)) {}

LibraryLoader::~LibraryLoader() {
  if (handle_ != nullptr) dlclose(handle_);
}

void* LibraryLoader::Symbol(const char* name) const {
  return handle_ != nullptr ? dlsym(handle_, name) : nullptr;
}

}  // namespace platform
}  // namespace mervane
