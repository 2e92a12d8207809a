// The ISAPI filter interface of the web server: HTTP_FILTER_VERSION,
// HTTP_FILTER_CONTEXT, HTTP_FILTER_URL_MAP, SF_REQ_TYPE and the SF_*
// constants, with the SDK's names, field order and values.
//
// The build puts one of two folders on the include path: win32/, whose
// isapi_sdk.h takes the declarations from the SDK's own <httpfilt.h>, or
// posix/, whose isapi_sdk.h declares them for a server simulated on POSIX
// (DWORD is uint32_t, BOOL int32_t, ULONG_PTR uintptr_t, no calling
// conventions). Code above this layer includes only this header, which also
// names the interface's constants that neither SDK header names.

#ifndef MERVANE_PLATFORM_ISAPI_H_
#define MERVANE_PLATFORM_ISAPI_H_

#include "isapi_sdk.h"

namespace mervane {
namespace isapi {

// The filter interface revision both sides speak: 4.0. The SDK's
// HTTP_FILTER_REVISION names a later revision and is not used.
inline constexpr DWORD kFilterRevision = 0x00040000;

// Windows' MAX_PATH: the size of the smallest physical path buffer a server
// hands a filter, terminator included.
inline constexpr DWORD kMaxPath = 260;

// The project's own ServerSupportFunction request. After it has mapped a
// request, the filter tells its server which entry served it and the folders
// of that host's site, so that a server that hands requests on to programs
// (CGI, PHP) can give them the host's document root instead of its own. pData
// points to a SiteReport; ul1 is its size. IIS defines no such request and
// answers FALSE, so nothing changes there. The value is the largest that the
// SDK's enumeration, whose names end at 8, can hold.
inline constexpr SF_REQ_TYPE kReportSite = static_cast<SF_REQ_TYPE>(15);

// The project's own request for a server that serves many connections on one
// thread, an event loop, which must not stop for the parse of a configuration
// text (an index is only mapped). The filter asks it, without data, when the
// check of a request finds that it must parse a text. TRUE means the server
// delivers the same notification again from a thread that may block: the
// filter then loads nothing, maps nothing and logs nothing for this call, and
// answers SF_STATUS_REQ_NEXT_NOTIFICATION. FALSE (IIS, any other server)
// lets it parse on the request's thread, as it always does.
inline constexpr SF_REQ_TYPE kParseElsewhere = static_cast<SF_REQ_TYPE>(14);

// What kReportSite reports. The texts are the server's to copy during the
// call; paths are in the configuration's form (Windows or drive form).
struct SiteReport {
  DWORD size;                  // sizeof(SiteReport)
  const char* entry;           // the host entry's key, as the log names it
  const char* user_dir;        // its UserDir; empty when it has none
  const char* document_root;   // the folder the host's "/" maps to
  const char* context_prefix;  // the URL prefix ("/docs") mapped on its own
                               // to context_root; empty when none was
  const char* context_root;    // empty when context_prefix is
};

}  // namespace isapi
}  // namespace mervane

#endif  // MERVANE_PLATFORM_ISAPI_H_
