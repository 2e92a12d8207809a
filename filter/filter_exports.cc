// The library's two exports, GetFilterVersion and HttpFilterProc, and the
// process's one MappingFilter they forward to.

#include <atomic>
#include <cstring>

#include "filter/isapi_context.h"
#include "filter/mapping_filter.h"
#include "filter/resource_ids.h"
#include "platform/isapi.h"
#include "platform/platform.h"

namespace mervane {
namespace {

// The URL-map notification on secure and non-secure ports, medium priority.
constexpr DWORD kFilterFlags = SF_NOTIFY_ORDER_MEDIUM | SF_NOTIFY_URL_MAP |
                               SF_NOTIFY_NONSECURE_PORT | SF_NOTIFY_SECURE_PORT;
constexpr int kDescriptionSize = 257;

// The process's filter object while it exists, null before the library's
// static initialisation made it and after its static destruction.
std::atomic<MappingFilter*> current_filter{nullptr};

// Makes the filter during static initialisation and registers it for the
// exports; unregisters it before its destruction.
class ProcessFilter {
 public:
  ProcessFilter() { current_filter = &filter_; }
  ~ProcessFilter() { current_filter = nullptr; }

 private:
  MappingFilter filter_{MappingFilter::Hooks(),
                        MappingFilter::FirstLoad::kAtFirstCheck};
};

ProcessFilter process_filter;

}  // namespace
}  // namespace mervane

// No exception may reach the server, which cannot catch it: a request that
// meets one passes unmapped.

extern "C" BOOL WINAPI GetFilterVersion(HTTP_FILTER_VERSION* version) {
  if (mervane::current_filter == nullptr) return FALSE;
  try {
    version->dwFilterVersion = mervane::isapi::kFilterRevision;
    version->dwFlags = mervane::kFilterFlags;
    char description[mervane::kDescriptionSize] = {};
    mervane::platform::LoadStringResource(IDS_FILTER_DESCRIPTION, description,
                                          sizeof description);
    std::memcpy(version->lpszFilterDesc, description, sizeof description);
    // The server calls this once, before the first request and outside the
    // loader lock: the configuration's first load belongs here.
    mervane::current_filter.load()->ReloadIfChanged();
    return TRUE;
  } catch (...) {
    return FALSE;
  }
}

extern "C" DWORD WINAPI HttpFilterProc(HTTP_FILTER_CONTEXT* context,
                                       DWORD notification_type,
                                       void* notification) {
  mervane::MappingFilter* filter = mervane::current_filter;
  if (filter == nullptr || notification_type != SF_NOTIFY_URL_MAP) {
    return SF_STATUS_REQ_NEXT_NOTIFICATION;
  }
  try {
    mervane::IsapiContext server(context);
    mervane::MappedSite site;
    const DWORD status = filter->MapUrl(
        &server, &server, static_cast<HTTP_FILTER_URL_MAP*>(notification),
        &site, &server);
    if (status == SF_STATUS_REQ_HANDLED_NOTIFICATION) server.ReportSite(site);
    return status;
  } catch (...) {
    return SF_STATUS_REQ_NEXT_NOTIFICATION;
  }
}
