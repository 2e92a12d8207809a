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

}  // namespace isapi
}  // namespace mervane

#endif  // MERVANE_PLATFORM_ISAPI_H_
