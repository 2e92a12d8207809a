#include "host/filter_library.h"

#include <dlfcn.h>
#include <sys/stat.h>

namespace mervane {
namespace host {

std::string FilterLibrary::Load(const char* path) {
  struct stat st;
  if (stat(path, &st) != 0) return "the file does not exist";
  // Never closed: see the header.
  void* handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* reason = dlerror();
    return std::string("it cannot be loaded: ") +
           (reason != nullptr ? reason : "unknown error");
  }
  auto get_filter_version = reinterpret_cast<GetFilterVersionFunction>(
      dlsym(handle, "GetFilterVersion"));
  http_filter_proc_ =
      reinterpret_cast<HttpFilterProcFunction>(dlsym(handle, "HttpFilterProc"));
  if (get_filter_version == nullptr || http_filter_proc_ == nullptr) {
    return "it does not export GetFilterVersion and HttpFilterProc";
  }
  version_ = {};
  version_.dwServerFilterVersion = isapi::kFilterRevision;
  if (!get_filter_version(&version_)) return "its GetFilterVersion failed";
  if ((version_.dwFlags & SF_NOTIFY_URL_MAP) == 0) {
    return "it does not ask for URL-map notifications";
  }
  return std::string();
}

}  // namespace host
}  // namespace mervane
