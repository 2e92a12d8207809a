// The server variables a URL-map filter reads, answered as IIS answers them:
// LOCAL_ADDR, SERVER_PORT and SERVER_NAME of one request.
//
// LOCAL_ADDR is the connection's local address as the server gives it, whole:
// dotted decimal for IPv4 (an IPv4-mapped address included), the IPv6 text
// otherwise, with '%' and the interface for a link-local address. The
// longest, 62 bytes with its terminator, fits the filter's 64-byte buffer.
//
// SERVER_PORT is the port the connection arrived on, never the one written
// in the Host header: the filter builds its "host|port" key from it, and a
// client must not choose which entry serves it.
//
// Thread safety: a RequestVariables belongs to one request; Read only reads.
// It keeps the texts it is given, not copies: it is made for every request.

#ifndef MERVANE_HOST_SERVER_VARIABLES_H_
#define MERVANE_HOST_SERVER_VARIABLES_H_

#include "platform/isapi.h"

namespace mervane {
namespace host {

// Windows error codes of GetServerVariable's contract.
inline constexpr DWORD kErrorInsufficientBuffer = 122;
inline constexpr DWORD kErrorInvalidIndex = 1413;

class RequestVariables {
 public:
  // host_name: the Host header's name without its port, or null when the
  // request named none; SERVER_NAME is then the local IP. Both must outlive
  // this object.
  RequestVariables(const char* local_ip, unsigned local_port,
                   const char* host_name);

  // Copies the value of the variable `name` and its terminator into buffer,
  // which holds *size bytes, and sets *size to the bytes copied. Returns
  // FALSE with *error set when it cannot: kErrorInsufficientBuffer with
  // *size set to the bytes needed, or kErrorInvalidIndex for a variable it
  // does not know.
  BOOL Read(const char* name, void* buffer, DWORD* size, DWORD* error) const;

 private:
  const char* local_addr_;
  char server_port_[11];  // any unsigned in decimal
  const char* server_name_;
};

}  // namespace host
}  // namespace mervane

#endif  // MERVANE_HOST_SERVER_VARIABLES_H_
