#include "filter/filter_host.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace mervane {
namespace {

// The server's state of one request, reached through the context's
// ServerContext.
struct RequestState {
  const FilterHost::Request* request = nullptr;
  std::string site;
  // Freed when the request ends, as the server frees AllocMem memory.
  std::vector<std::unique_ptr<char[]>> allocations;
};

const std::string* ServerVariable(const FilterHost::Request& request,
                                  const char* name) {
  if (std::strcmp(name, "LOCAL_ADDR") == 0) return &request.local_addr;
  if (std::strcmp(name, "SERVER_PORT") == 0) return &request.server_port;
  if (std::strcmp(name, "SERVER_NAME") == 0) return &request.server_name;
  return nullptr;
}

BOOL WINAPI GetServerVariable(HTTP_FILTER_CONTEXT* context, LPSTR name,
                              LPVOID buffer, LPDWORD size) {
  const auto* state = static_cast<RequestState*>(context->ServerContext);
  const std::string* value = state->request != nullptr
                                 ? ServerVariable(*state->request, name)
                                 : nullptr;
  if (value == nullptr) return FALSE;
  const DWORD needed = static_cast<DWORD>(value->size() + 1);
  const bool fits = *size >= needed;
  if (fits) std::memcpy(buffer, value->c_str(), needed);
  *size = needed;
  return fits ? TRUE : FALSE;
}

void* WINAPI AllocMem(HTTP_FILTER_CONTEXT* context, DWORD size,
                      DWORD /*reserved*/) {
  auto* state = static_cast<RequestState*>(context->ServerContext);
  state->allocations.push_back(std::make_unique<char[]>(size));
  return state->allocations.back().get();
}

BOOL WINAPI SupportFunction(HTTP_FILTER_CONTEXT* context, SF_REQ_TYPE type,
                            PVOID data, ULONG_PTR size, ULONG_PTR) {
  if (type != isapi::kReportSite || size < sizeof(isapi::SiteReport)) {
    return FALSE;
  }
  const auto& report = *static_cast<const isapi::SiteReport*>(data);
  auto* state = static_cast<RequestState*>(context->ServerContext);
  state->site = std::string(report.entry) + "|" + report.user_dir + "|" +
                report.document_root + "|" + report.context_prefix + "|" +
                report.context_root;
  return TRUE;
}

HTTP_FILTER_CONTEXT ContextFor(RequestState* state) {
  HTTP_FILTER_CONTEXT context = {};
  context.cbSize = sizeof context;
  context.ServerContext = state;
  context.GetServerVariable = GetServerVariable;
  context.AllocMem = AllocMem;
  context.ServerSupportFunction = SupportFunction;
  return context;
}

}  // namespace

FilterHost::FilterHost(const char* library_path)
    : library_(library_path),
      get_filter_version_(reinterpret_cast<GetFilterVersionFunction>(
          library_.Symbol("GetFilterVersion"))),
      http_filter_proc_(reinterpret_cast<HttpFilterProcFunction>(
          library_.Symbol("HttpFilterProc"))) {
  HTTP_FILTER_VERSION version = {};
  if (IsLoaded()) GetFilterVersion(&version);
}

int FilterHost::IsLoaded() const {
  return get_filter_version_ != nullptr && http_filter_proc_ != nullptr;
}

BOOL FilterHost::GetFilterVersion(HTTP_FILTER_VERSION* version) const {
  return get_filter_version_(version);
}

FilterHost::Result FilterHost::MapUrl(const Request& request) const {
  std::vector<char> path_buffer(std::max<size_t>(
      request.path_buffer_size, request.physical_path.size() + 1));
  std::memcpy(path_buffer.data(), request.physical_path.c_str(),
              request.physical_path.size() + 1);
  HTTP_FILTER_URL_MAP record = {};
  record.pszURL = request.url.c_str();
  record.pszPhysicalPath = path_buffer.data();
  record.cbPathBuff = static_cast<DWORD>(path_buffer.size());

  RequestState state;
  state.request = &request;
  HTTP_FILTER_CONTEXT context = ContextFor(&state);
  Result result;
  result.status = http_filter_proc_(&context, SF_NOTIFY_URL_MAP, &record);
  result.physical_path = record.pszPhysicalPath;
  result.path_in_request_memory = record.pszPhysicalPath != path_buffer.data();
  result.site = std::move(state.site);
  return result;
}

DWORD FilterHost::Notify(DWORD notification_type, void* notification) const {
  RequestState state;
  HTTP_FILTER_CONTEXT context = ContextFor(&state);
  return http_filter_proc_(&context, notification_type, notification);
}

}  // namespace mervane
