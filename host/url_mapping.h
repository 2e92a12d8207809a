// UrlMapping: one request's URL-map notification through the filter
// library, as IIS delivers it: the physical path IIS would have chosen, the
// server variables the filter reads, memory it asks for, and the site it
// reports; then what the server must do with the answer.
//
// An event-loop server may let the filter ask for its parse to happen
// elsewhere (isapi::kParseElsewhere): Map then answers kParseElsewhere, and
// the server calls Map again, with the same request, on a thread that may
// block.
//
// A server may map request after request with one UrlMapping, which then
// keeps its memory.
//
// Thread safety: a UrlMapping is used by one thread at a time; the memory
// the filter asked for lives until its next Map.

#ifndef MERVANE_HOST_URL_MAPPING_H_
#define MERVANE_HOST_URL_MAPPING_H_

#include <memory>
#include <string>
#include <vector>

#include "host/filter_library.h"
#include "host/site_variables.h"

namespace mervane {
namespace host {

// What a request gives the filter.
struct UrlRequest {
  std::string uri;       // decoded, starting with '/'
  std::string local_ip;  // as RequestVariables takes it
  unsigned local_port = 0;
  std::string host_name;  // the Host header's name, without its port
  bool has_host_name = false;
  std::string document_root;  // native
  std::string drives;         // MERVANE_DRIVES; empty when none
  bool trace = false;         // the server logs trace()
};

class UrlMapping {
 public:
  enum class Outcome {
    kUnmapped,        // the server's own root serves it
    kMapped,          // native_path() serves it
    kBadUrl,          // 400: the URL holds a backslash
    kBadPath,         // 400: the filter mapped it outside its folders
    kFailed,          // 500: the filter answered neither status
    kParseElsewhere,  // call Map again where it may block
  };

  // Delivers the notification. may_defer: answer the filter's
  // kParseElsewhere with TRUE. REQUIRES: filter is loaded.
  Outcome Map(const FilterLibrary& filter, const UrlRequest& request,
              bool may_defer);

  // After kMapped: the native path of the file or folder.
  const std::string& native_path() const { return native_path_; }
  // After kMapped: the reported site; null when the filter reported none.
  const SiteVariables* site() const {
    return site_reported_ ? &site_ : nullptr;
  }
  // What the server's log should say of the answer: the trace of the call
  // for a debugging log (empty unless the request asked for it), and why a
  // request was refused or failed.
  const std::string& trace() const { return trace_; }
  const std::string& reason() const { return reason_; }

  // The filter context's side; public for its C callbacks only.
  void* Allocate(DWORD size);
  BOOL Support(SF_REQ_TYPE type, void* data, ULONG_PTR size);

 private:
  std::vector<std::unique_ptr<char[]>> allocations_;
  std::string server_path_;
  std::vector<char> path_buffer_;  // the record's, unless the filter's own
  bool may_defer_ = false;
  bool deferred_ = false;
  bool site_reported_ = false;
  SiteVariables site_;
  std::string native_path_;
  std::string trace_;
  std::string reason_;
};

}  // namespace host
}  // namespace mervane

#endif  // MERVANE_HOST_URL_MAPPING_H_
