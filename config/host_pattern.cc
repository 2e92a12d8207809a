#include "config/host_pattern.h"

namespace mervane {

HostPattern HostPatternOf(std::string_view host_key) {
  const std::string_view name = host_key.substr(0, host_key.find('|'));
  if (name.find('*') == std::string_view::npos) return HostPattern::kExact;
  if (name == "*") return HostPattern::kDefault;
  // "*." and a name of at least one character without a further '*'.
  if (name.size() > 2 && name.substr(0, 2) == "*." &&
      name.find('*', 1) == std::string_view::npos) {
    return HostPattern::kWildcard;
  }
  return HostPattern::kInvalid;
}

}  // namespace mervane
