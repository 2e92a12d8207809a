// FilterLibrary: an ISAPI URL-map filter library loaded into this process,
// as IIS loads one: found by path, asked for its version once, then called
// for every request.
//
// A loaded library is never unloaded: requests on other threads may be
// inside it until the process ends, and its static destruction must not run
// under them.
//
// Thread safety: Load runs once, before any request; MapUrl may then be
// called from many threads at once.

#ifndef MERVANE_HOST_FILTER_LIBRARY_H_
#define MERVANE_HOST_FILTER_LIBRARY_H_

#include <string>

#include "platform/isapi.h"

namespace mervane {
namespace host {

class FilterLibrary {
 public:
  // Loads the library at path (native form), runs its GetFilterVersion and
  // checks that it asks for URL-map notifications. Returns the empty text on
  // success, otherwise why the library cannot be hosted.
  std::string Load(const char* path);

  // Valid after a successful Load.
  const HTTP_FILTER_VERSION& version() const { return version_; }

  // Delivers a URL-map notification. REQUIRES: a successful Load.
  DWORD MapUrl(HTTP_FILTER_CONTEXT* context,
               HTTP_FILTER_URL_MAP* record) const {
    return http_filter_proc_(context, SF_NOTIFY_URL_MAP, record);
  }

 private:
  using GetFilterVersionFunction = BOOL(WINAPI*)(HTTP_FILTER_VERSION*);
  using HttpFilterProcFunction = DWORD(WINAPI*)(HTTP_FILTER_CONTEXT*, DWORD,
                                                void*);

  HTTP_FILTER_VERSION version_ = {};
  HttpFilterProcFunction http_filter_proc_ = nullptr;
};

}  // namespace host
}  // namespace mervane

#endif  // MERVANE_HOST_FILTER_LIBRARY_H_
