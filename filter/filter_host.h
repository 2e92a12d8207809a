// FilterHost: the web server's side of the ISAPI filter interface, for
// running a built filter library without a server. It loads the library,
// asks for its version and delivers URL-map notifications to it with a
// filter context that answers LOCAL_ADDR, SERVER_PORT and SERVER_NAME,
// provides AllocMem and takes the filter's report of what served a request
// (isapi::kReportSite), as the server does.
//
// Thread safety: MapUrl may be called from many threads at once, each with
// its own request.

#ifndef MERVANE_FILTER_FILTER_HOST_H_
#define MERVANE_FILTER_FILTER_HOST_H_

#include <cstdint>
#include <string>

#include "platform/isapi.h"
#include "platform/library_loader.h"

namespace mervane {

class FilterHost {
 public:
  // What the server knows of one request when it maps its URL.
  struct Request {
    std::string local_addr;
    std::string server_port;
    std::string server_name;
    std::string url;
    std::string physical_path;
    // Size of the server's physical path buffer; grown to hold
    // physical_path when smaller.
    uint32_t path_buffer_size = isapi::kMaxPath;
  };

  // What the filter made of it.
  struct Result {
    DWORD status = 0;
    std::string physical_path;
    // True when the filter replaced the server's buffer with AllocMem memory.
    bool path_in_request_memory = false;
    // The report's texts joined by '|': entry, UserDir, document root,
    // context prefix and its folder; empty when none came.
    std::string site;
  };

  // Loads the library at path (native form) and, as a server does before
  // its first request, calls GetFilterVersion once.
  explicit FilterHost(const char* library_path);

  // 1 when the library is loaded and exports both entry points.
  int IsLoaded() const;
  BOOL GetFilterVersion(HTTP_FILTER_VERSION* version) const;
  // Delivers a URL-map notification for request.
  Result MapUrl(const Request& request) const;
  // Delivers any notification with a context that answers nothing.
  DWORD Notify(DWORD notification_type, void* notification) const;

 private:
  using GetFilterVersionFunction = BOOL(WINAPI*)(HTTP_FILTER_VERSION*);
  using HttpFilterProcFunction = DWORD(WINAPI*)(HTTP_FILTER_CONTEXT*, DWORD,
                                                void*);

  platform::LibraryLoader library_;
  GetFilterVersionFunction get_filter_version_;
  HttpFilterProcFunction http_filter_proc_;
};

}  // namespace mervane

#endif  // MERVANE_FILTER_FILTER_HOST_H_
