// Which requests a virtual host entry serves, told by its name. A host key is
// a host name, followed by '|' and a port when the port is not 80; only the
// name before the '|' counts here.
//
//   www.example.com|8080   exact: that name alone
//   *.example.com|8080     wildcard: every name below example.com
//                          (shop.example.com, a.b.example.com), not
//                          example.com itself
//   *|8080                 default: every name of the IP and port
//
// A '*' anywhere else (a*.example.com, *example.com, **.x, *.) makes an
// entry that serves nothing: the administration program refuses such a
// name, and one written into the file by hand is never matched.
//
// Thread safety: pure functions; any number of threads may call them.

#ifndef MERVANE_CONFIG_HOST_PATTERN_H_
#define MERVANE_CONFIG_HOST_PATTERN_H_

#include <string_view>

namespace mervane {

enum class HostPattern { kExact, kWildcard, kDefault, kInvalid };

// The kind of the entry named host_key; a name without '*' is exact.
HostPattern HostPatternOf(std::string_view host_key);

}  // namespace mervane

#endif  // MERVANE_CONFIG_HOST_PATTERN_H_
