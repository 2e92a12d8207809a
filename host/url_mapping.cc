#include "host/url_mapping.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "host/server_path.h"
#include "host/server_variables.h"
#include "platform/platform.h"

namespace mervane {
namespace host {
namespace {

// The filter context's ServerContext.
struct CallState {
  UrlMapping* mapping;
  const RequestVariables* variables;
};

CallState* StateOf(HTTP_FILTER_CONTEXT* context) {
  return static_cast<CallState*>(context->ServerContext);
}

BOOL WINAPI GetServerVariable(HTTP_FILTER_CONTEXT* context, LPSTR name,
                              LPVOID buffer, LPDWORD size) {
  DWORD error = 0;
  const BOOL read =
      StateOf(context)->variables->Read(name, buffer, size, &error);
  // POSIX has no SetLastError; errno carries the code.
  if (!read) errno = static_cast<int>(error);
  return read;
}

void* WINAPI AllocMem(HTTP_FILTER_CONTEXT* context, DWORD size, DWORD) {
  return StateOf(context)->mapping->Allocate(size);
}

BOOL WINAPI RefuseHeaders(HTTP_FILTER_CONTEXT*, LPSTR, DWORD) { return FALSE; }
BOOL WINAPI RefuseWrite(HTTP_FILTER_CONTEXT*, LPVOID, LPDWORD, DWORD) {
  return FALSE;
}
BOOL WINAPI SupportFunction(HTTP_FILTER_CONTEXT* context, SF_REQ_TYPE type,
                            PVOID data, ULONG_PTR size, ULONG_PTR) {
  return StateOf(context)->mapping->Support(type, data, size);
}

HTTP_FILTER_CONTEXT ContextFor(CallState* state) {
  HTTP_FILTER_CONTEXT context = {};
  context.cbSize = sizeof context;
  context.Revision = isapi::kFilterRevision;
  context.ServerContext = state;
  context.GetServerVariable = GetServerVariable;
  context.AddResponseHeaders = RefuseHeaders;
  context.WriteClient = RefuseWrite;
  context.AllocMem = AllocMem;
  context.ServerSupportFunction = SupportFunction;
  return context;
}

const char* StatusName(DWORD status) {
  if (status == SF_STATUS_REQ_HANDLED_NOTIFICATION) return "HANDLED";
  if (status == SF_STATUS_REQ_NEXT_NOTIFICATION) return "NEXT";
  return "other";
}

}  // namespace

void* UrlMapping::Allocate(DWORD size) {
  try {
    allocations_.emplace_back(new char[std::max<DWORD>(size, 1)]);
  } catch (...) {  // out of memory: the filter is told by the null
    return nullptr;
  }
  return allocations_.back().get();
}

// Takes the filter's report of what served the request and, where the
// server may defer, its wish to parse elsewhere; refuses every other
// request.
BOOL UrlMapping::Support(SF_REQ_TYPE type, void* data, ULONG_PTR size) {
  if (type == isapi::kParseElsewhere) {
    deferred_ = may_defer_;
    return may_defer_ ? TRUE : FALSE;
  }
  if (type != isapi::kReportSite || data == nullptr ||
      size < sizeof(isapi::SiteReport)) {
    return FALSE;
  }
  try {
    site_ = SiteVariablesOf(*static_cast<const isapi::SiteReport*>(data));
  } catch (...) {  // out of memory: the request keeps the server's root
    return FALSE;
  }
  site_reported_ = true;
  return TRUE;
}

UrlMapping::Outcome UrlMapping::Map(const FilterLibrary& filter,
                                    const UrlRequest& request, bool may_defer) {
  may_defer_ = may_defer;
  deferred_ = false;
  site_reported_ = false;
  allocations_.clear();
  trace_.clear();
  if (HoldsBackslash(request.uri)) {
    reason_ = "refused: URL " + request.uri + " holds a backslash";
    return Outcome::kBadUrl;
  }
  ServerPath(request.document_root, request.uri, request.drives, &server_path_);
  path_buffer_.resize(
      std::max<size_t>(isapi::kMaxPath, server_path_.size() + 1));
  std::memcpy(path_buffer_.data(), server_path_.c_str(),
              server_path_.size() + 1);

  const RequestVariables variables(
      request.local_ip.c_str(), request.local_port,
      request.has_host_name ? request.host_name.c_str() : nullptr);
  CallState state = {this, &variables};
  HTTP_FILTER_CONTEXT context = ContextFor(&state);
  HTTP_FILTER_URL_MAP record = {request.uri.c_str(), path_buffer_.data(),
                                static_cast<DWORD>(path_buffer_.size())};
  const DWORD status = filter.MapUrl(&context, &record);
  if (deferred_) return Outcome::kParseElsewhere;

  const bool mapped = status == SF_STATUS_REQ_HANDLED_NOTIFICATION ||
                      (status == SF_STATUS_REQ_NEXT_NOTIFICATION &&
                       server_path_ != record.pszPhysicalPath);
  if (request.trace) {
    trace_ = "host " + (request.has_host_name ? request.host_name : "-") +
             ", URL " + request.uri + ", server path " + server_path_ +
             ", status " + StatusName(status) + ", mapped path " +
             (mapped ? record.pszPhysicalPath : "-");
  }
  if (status != SF_STATUS_REQ_HANDLED_NOTIFICATION &&
      status != SF_STATUS_REQ_NEXT_NOTIFICATION) {
    char code[16];
    std::snprintf(code, sizeof code, "%#x", static_cast<unsigned>(status));
    reason_ =
        "the filter answered " + std::string(code) + " for URL " + request.uri;
    return Outcome::kFailed;
  }
  if (!mapped) return Outcome::kUnmapped;
  native_path_ = platform::NativePath(record.pszPhysicalPath);
  if (HoldsParentSegment(native_path_)) {
    reason_ =
        "refused: the filter mapped URL " + request.uri + " to " + native_path_;
    return Outcome::kBadPath;
  }
  return Outcome::kMapped;
}

}  // namespace host
}  // namespace mervane
