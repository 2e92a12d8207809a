// The ISAPI filter declarations on Windows: the SDK's own. Included through
// platform/isapi.h only.

#ifndef MERVANE_PLATFORM_WIN32_ISAPI_SDK_H_
#define MERVANE_PLATFORM_WIN32_ISAPI_SDK_H_

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <httpfilt.h>

#endif  // MERVANE_PLATFORM_WIN32_ISAPI_SDK_H_
