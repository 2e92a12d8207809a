// The ISAPI filter declarations on POSIX, where no SDK exists: the structures
// and constants a filter and a simulated server share, with the SDK's field
// order and values. Pointers are native; calling conventions are empty.
// Included through platform/isapi.h only.

#ifndef MERVANE_PLATFORM_POSIX_ISAPI_SDK_H_
#define MERVANE_PLATFORM_POSIX_ISAPI_SDK_H_

#include <cstdint>

#define WINAPI

using DWORD = uint32_t;
using BOOL = int32_t;
using ULONG_PTR = uintptr_t;
using CHAR = char;
using LPSTR = char*;
using PVOID = void*;
using LPVOID = void*;
using LPDWORD = DWORD*;

inline constexpr BOOL FALSE = 0;
inline constexpr BOOL TRUE = 1;

inline constexpr DWORD SF_MAX_FILTER_DESC_LEN = 256 + 1;

enum SF_REQ_TYPE {
  SF_REQ_SEND_RESPONSE_HEADER,
  SF_REQ_ADD_HEADERS_ON_DENIAL,
  SF_REQ_SET_NEXT_READ_SIZE,
  SF_REQ_SET_PROXY_INFO,
  SF_REQ_GET_CONNID,
  SF_REQ_SET_CERTIFICATE_INFO,
  SF_REQ_GET_PROPERTY,
  SF_REQ_NORMALIZE_URL,
  SF_REQ_DISABLE_NOTIFICATIONS
};

enum SF_STATUS_TYPE {
  SF_STATUS_REQ_FINISHED = 0x8000000,
  SF_STATUS_REQ_FINISHED_KEEP_CONN,
  SF_STATUS_REQ_NEXT_NOTIFICATION,
  SF_STATUS_REQ_HANDLED_NOTIFICATION,
  SF_STATUS_REQ_ERROR,
  SF_STATUS_REQ_READ_NEXT
};

inline constexpr DWORD SF_NOTIFY_SECURE_PORT = 0x00000001;
inline constexpr DWORD SF_NOTIFY_NONSECURE_PORT = 0x00000002;

inline constexpr DWORD SF_NOTIFY_READ_RAW_DATA = 0x00008000;
inline constexpr DWORD SF_NOTIFY_PREPROC_HEADERS = 0x00004000;
inline constexpr DWORD SF_NOTIFY_AUTHENTICATION = 0x00002000;
inline constexpr DWORD SF_NOTIFY_URL_MAP = 0x00001000;
inline constexpr DWORD SF_NOTIFY_ACCESS_DENIED = 0x00000800;
inline constexpr DWORD SF_NOTIFY_SEND_RESPONSE = 0x00000040;
inline constexpr DWORD SF_NOTIFY_SEND_RAW_DATA = 0x00000400;
inline constexpr DWORD SF_NOTIFY_LOG = 0x00000200;
inline constexpr DWORD SF_NOTIFY_END_OF_REQUEST = 0x00000080;
inline constexpr DWORD SF_NOTIFY_END_OF_NET_SESSION = 0x00000100;
inline constexpr DWORD SF_NOTIFY_AUTH_COMPLETE = 0x04000000;

inline constexpr DWORD SF_NOTIFY_ORDER_HIGH = 0x00080000;
inline constexpr DWORD SF_NOTIFY_ORDER_MEDIUM = 0x00040000;
inline constexpr DWORD SF_NOTIFY_ORDER_LOW = 0x00020000;
inline constexpr DWORD SF_NOTIFY_ORDER_DEFAULT = SF_NOTIFY_ORDER_LOW;
inline constexpr DWORD SF_NOTIFY_ORDER_MASK =
    SF_NOTIFY_ORDER_HIGH | SF_NOTIFY_ORDER_MEDIUM | SF_NOTIFY_ORDER_LOW;

extern "C" {

struct HTTP_FILTER_CONTEXT {
  DWORD cbSize;
  DWORD Revision;
  PVOID ServerContext;
  DWORD ulReserved;
  BOOL fIsSecurePort;
  PVOID pFilterContext;
  BOOL(WINAPI* GetServerVariable)
  (HTTP_FILTER_CONTEXT* pfc, LPSTR lpszVariableName, LPVOID lpvBuffer,
   LPDWORD lpdwSize);
  BOOL(WINAPI* AddResponseHeaders)
  (HTTP_FILTER_CONTEXT* pfc, LPSTR lpszHeaders, DWORD dwReserved);
  BOOL(WINAPI* WriteClient)
  (HTTP_FILTER_CONTEXT* pfc, LPVOID Buffer, LPDWORD lpdwBytes,
   DWORD dwReserved);
  void*(WINAPI* AllocMem)(HTTP_FILTER_CONTEXT* pfc, DWORD cbSize,
                          DWORD dwReserved);
  BOOL(WINAPI* ServerSupportFunction)
  (HTTP_FILTER_CONTEXT* pfc, enum SF_REQ_TYPE sfReq, PVOID pData, ULONG_PTR ul1,
   ULONG_PTR ul2);
};

struct HTTP_FILTER_URL_MAP {
  const CHAR* pszURL;
  CHAR* pszPhysicalPath;
  DWORD cbPathBuff;
};

struct HTTP_FILTER_VERSION {
  DWORD dwServerFilterVersion;
  DWORD dwFilterVersion;
  CHAR lpszFilterDesc[SF_MAX_FILTER_DESC_LEN];
  DWORD dwFlags;
};

DWORD WINAPI HttpFilterProc(HTTP_FILTER_CONTEXT* pfc, DWORD NotificationType,
                            void* pvNotification);
BOOL WINAPI GetFilterVersion(HTTP_FILTER_VERSION* pVer);

}  // extern "C"

#endif  // MERVANE_PLATFORM_POSIX_ISAPI_SDK_H_
