// LOCAL_ADDR's text for a connection's local address, as IIS gives it: an
// IPv4-mapped address as IPv4, a link-local one with its interface.
//
// Making the text takes a getnameinfo call, about a microsecond, while a
// worker's connections arrive on a few addresses only: LocalAddresses keeps
// the texts of the last ones it made.
//
// Thread safety: a LocalAddresses belongs to one thread (the worker's event
// loop).

#ifndef MERVANE_NGINX_LOCAL_ADDRESS_H_
#define MERVANE_NGINX_LOCAL_ADDRESS_H_

#include <sys/socket.h>

#include <cstddef>
#include <string>

namespace mervane {
namespace nginx {

class LocalAddresses {
 public:
  // The text of the address in local's first length bytes, at most a
  // sockaddr_storage; valid until the next call.
  const std::string& TextOf(const struct sockaddr* local, socklen_t length);

 private:
  struct Entry {
    struct sockaddr_storage address;
    socklen_t length = 0;  // 0: unused
    std::string text;
  };
  // Enough for the addresses of a host's usual listeners.
  static constexpr std::size_t kEntries = 16;

  Entry entries_[kEntries];
  std::size_t next_ = 0;  // the entry that the next new address takes
};

}  // namespace nginx
}  // namespace mervane

#endif  // MERVANE_NGINX_LOCAL_ADDRESS_H_
