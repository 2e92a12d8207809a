#include "host/server_variables.h"

#include <charconv>
#include <cstring>
#include <iterator>

namespace mervane {
namespace host {

RequestVariables::RequestVariables(const char* local_ip, unsigned local_port,
                                   const char* host_name)
    : local_addr_(local_ip),
      server_name_(host_name != nullptr ? host_name : local_ip) {
  char* const end =
      std::to_chars(server_port_, std::end(server_port_) - 1, local_port).ptr;
  *end = '\0';
}

BOOL RequestVariables::Read(const char* name, void* buffer, DWORD* size,
                            DWORD* error) const {
  const char* value = nullptr;
  if (std::strcmp(name, "LOCAL_ADDR") == 0) value = local_addr_;
  if (std::strcmp(name, "SERVER_PORT") == 0) value = server_port_;
  if (std::strcmp(name, "SERVER_NAME") == 0) value = server_name_;
  if (value == nullptr) {
    *error = kErrorInvalidIndex;
    return FALSE;
  }
  const DWORD needed = static_cast<DWORD>(std::strlen(value) + 1);
  if (*size < needed) {
    *size = needed;
    *error = kErrorInsufficientBuffer;
    return FALSE;
  }
  std::memcpy(buffer, value, needed);
  *size = needed;
  return TRUE;
}

}  // namespace host
}  // namespace mervane
