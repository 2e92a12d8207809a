// LOCAL_ADDR's text, for addresses seen again and again and for more
// addresses than are kept.

#include "nginx/local_address.h"

#include <gtest/gtest.h>
#include <netdb.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace mervane {
namespace nginx {
namespace {

struct Address {
  sockaddr_storage storage = {};
  socklen_t length = 0;
};

Address AddressOf(const std::string& text, const char* port) {
  addrinfo hints = {};
  hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
  addrinfo* found = nullptr;
  Address address;
  EXPECT_EQ(0, getaddrinfo(text.c_str(), port, &hints, &found)) << text;
  if (found == nullptr) return address;
  std::memcpy(&address.storage, found->ai_addr, found->ai_addrlen);
  address.length = found->ai_addrlen;
  freeaddrinfo(found);
  return address;
}

TEST(LocalAddressesTest, TextsAsIisGivesThemWhateverWasSeenBefore) {
  std::vector<std::pair<Address, std::string>> seen = {
      {AddressOf("127.0.0.1", "80"), "127.0.0.1"},
      {AddressOf("127.0.0.1", "8080"), "127.0.0.1"},
      {AddressOf("::ffff:10.1.2.3", "80"), "10.1.2.3"},
      {AddressOf("2001:db8::5", "80"), "2001:db8::5"},
      {AddressOf("fe80::1%lo", "80"), "fe80::1%lo"},
  };
  // More addresses than are kept, twice over: no text may be another's.
  for (int i = 0; i < 40; ++i) {
    const std::string v4 = "10.0.0." + std::to_string(i);
    seen.emplace_back(AddressOf(v4, "80"), v4);
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
