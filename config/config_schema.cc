#include "config/config_schema.h"

#include <cstdlib>

namespace mervane {
namespace schema {

std::string HostKey(const char* host_name, const char* port_text) {
  std::string key = host_name != nullptr ? host_name : "";
  // A missing port counts as the empty text, which is not port 80.
  if (port_text == nullptr) port_text = "";
  if (std::atoi(port_text) != 80) {
    key += '|';
    key += port_text;
  }
  return key;
}

}  // namespace schema
}  // namespace mervane
