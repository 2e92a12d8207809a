// LOCAL_ADDR's text, for addresses seen again and again and for more
// addresses than are kept.

#include "nginx/local_address.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <net/if.h>

#include <string>
#include <vector>

namespace mervane {
namespace nginx {
namespace {

struct Address {
  sockaddr_storage storage = {};
  socklen_t length = 0;
};

Address AddressOf(const std::string& text, unsigned port) {
  Address address;
  auto* v4 = reinterpret_cast<sockaddr_in*>(&address.storage);
  auto* v6 = reinterpret_cast<sockaddr_in6*>(&address.storage);
  if (inet_pton(AF_INET, text.c_str(), &v4->sin_addr) == 1) {
    v4->sin_family = AF_INET;
    v4->sin_port = htons(port);
    address.length = sizeof *v4;
    return address;
  }
  const std::size_t zone = text.find('%');
  EXPECT_EQ(1,
            inet_pton(AF_INET6, text.substr(0, zone).c_str(), &v6->sin6_addr))
      << text;
  v6->sin6_family = AF_INET6;
  v6->sin6_port = htons(port);
  if (zone != std::string::npos) {
    v6->sin6_scope_id = if_nametoindex(text.substr(zone + 1).c_str());
  }
  address.length = sizeof *v6;
  return address;
}

TEST(LocalAddressesTest, TextsAsIisGivesThemWhateverWasSeenBefore) {
  const struct {
    const char* address;
    unsigned port;
    const char* text;
  } kCases[] = {
      {"127.0.0.1", 80, "127.0.0.1"},
      {"127.0.0.1", 8080, "127.0.0.1"},
      {"::ffff:10.1.2.3", 80, "10.1.2.3"},
      {"2001:db8::5", 80, "2001:db8::5"},
      {"::1", 80, "::1"},
      {"fe80::1%lo", 80, "fe80::1%lo"},
  };
  // More addresses than are kept, twice over: no text may be another's.
  std::vector<std::pair<Address, std::string>> seen;
  for (unsigned i = 0; i < 40; ++i) {
    const std::string v4 = "10.0.0." + std::to_string(i);
    seen.emplace_back(AddressOf(v4, 80), v4);
  }
  for (const auto& c : kCases) {
    seen.emplace_back(AddressOf(c.address, c.port), c.text);
  }
  LocalAddresses addresses;
  for (int pass = 0; pass < 2; ++pass) {
    for (const auto& [address, text] : seen) {
      const auto* local = reinterpret_cast<const sockaddr*>(&address.storage);
      EXPECT_EQ(text, addresses.TextOf(local, address.length));
      EXPECT_EQ(text, addresses.TextOf(local, address.length));
    }
  }
}

}  // namespace
}  // namespace nginx
}  // namespace mervane
