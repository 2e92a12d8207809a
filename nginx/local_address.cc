#include "nginx/local_address.h"

#include <netdb.h>

#include <cstring>

namespace mervane {
namespace nginx {
namespace {

std::string AddressText(const struct sockaddr* local, socklen_t length) {
  char text[NI_MAXHOST] = "";
  getnameinfo(local, length, text, sizeof text, nullptr, 0, NI_NUMERICHOST);
  const char* address = text;
  static const char kMappedPrefix[] = "::ffff:";
  const std::size_t prefix_size = sizeof kMappedPrefix - 1;
  if (local->sa_family == AF_INET6 &&
      std::strncmp(address, kMappedPrefix, prefix_size) == 0 &&
      std::strchr(address, '.') != nullptr) {
    address += prefix_size;
  }
  return address;
}

}  // namespace

const std::string& LocalAddresses::TextOf(const struct sockaddr* local,
                                          socklen_t length) {
  for (const Entry& entry : entries_) {
    if (entry.length == length &&
        std::memcmp(&entry.address, local, length) == 0) {
      return entry.text;
    }
  }
  Entry& entry = entries_[next_];
  next_ = (next_ + 1) % kEntries;
  entry.text = AddressText(local, length);
  std::memcpy(&entry.address, local, length);
  entry.length = length;
  return entry.text;
}

}  // namespace nginx
}  // namespace mervane
