// Section names of addresses: every spelling of one address gives one name,
// and the name shown on pages leads back to it.

#include "config/ip_address.h"

#include <string>

#include "config/storable_text.h"
#include "gtest/gtest.h"

namespace mervane {
namespace {

const std::string kFfff = "ffff:ffff:ffff:ffff:ffff:ffff:ffff:ffff";

TEST(IpAddressTest, SectionNamesOfIpv6Texts) {
  const struct {
    std::string text, name;
  } kCases[] = {
      {"::1", "--1"},
      {"2001:db8::5", "2001-db8--5"},
      {"2001:0DB8:0000:0000:0000:0000:0000:0005", "2001-db8--5"},
      {"2001:db8:0:0::5", "2001-db8--5"},
      {"fe80::1%4", "fe80--1s4"},
      {"FE80::0001%eth0", "fe80--1seth0"},
      {"::", "--"},
      {"1::", "1--"},
      {"1:2:3:4:5:6:7::", "1-2-3-4-5-6-7-0"},  // one zero group is no run
      {"1:0:0:1:0:0:0:1", "1-0-0-1--1"},       // the longest run
      {"1:0:0:1:0:0:1:1", "1--1-0-0-1-1"},     // the first of equal runs
      {"::10.0.0.5", "--a00-5"},
      {"1:2:3:4:5:6:1.2.3.4", "1-2-3-4-5-6-102-304"},
      {"ffff:ffff:ffff:ffff:ffff:ffff:255.255.255.255",
       "ffff-ffff-ffff-ffff-ffff-ffff-ffff-ffff"},
      // IPv4-mapped: the IPv4 section, whatever the spelling.
      {"::ffff:10.0.0.5", "10.0.0.5"},
      {"::FFFF:a00:5", "10.0.0.5"},
      {"0:0:0:0:0:ffff:10.0.0.5%4", "10.0.0.5"},
      // The longest name fits the filter's buffer; one more does not.
      {kFfff + "%" + std::string(23, 'z'),
       "ffff-ffff-ffff-ffff-ffff-ffff-ffff-ffffs" + std::string(23, 'z')},
  };
  for (const auto& c : kCases) {
    char name[kAddressTextSize];
    size_t length = Ipv6SectionName(c.text, name);
    EXPECT_EQ(c.name, std::string(name, length)) << c.text;
    EXPECT_TRUE(IsStorableSectionName(name)) << c.text;
    EXPECT_EQ(c.name, AddressSectionName(c.text)) << c.text;
    // What a page shows leads back to the same section.
    EXPECT_EQ(c.name, AddressSectionName(AddressDisplayText(c.name))) << c.text;
  }
}

TEST(IpAddressTest, EveryOtherTextIsKeptAsItIs) {
  const struct {
    const char* text;
    const char* name;
    const char* shown;
  } kCases[] = {
      {"10.0.0.5", "10.0.0.5", "10.0.0.5"},
      {"010.0.0.5", "010.0.0.5", "010.0.0.5"},
      {"my-host", "my-host", "my-host"},
      {"a:b", "a:b", "a:b"},
      {"2001:DB8:0::5", "2001-db8--5", "2001:db8::5"},
      {"::ffff:10.0.0.5", "10.0.0.5", "10.0.0.5"},
      {"2001-db8--5", "2001-db8--5", "2001:db8::5"},
      {"2001-DB8--5", "2001-DB8--5", "2001:db8::5"},
      {"--", "--", "::"},
      {"fe80--1seth-0", "fe80--1seth-0", "fe80::1%eth-0"},
      // A name with '-' that is not an address's canonical one is shown as
      // it is, since that is the name it is found by.
      {"2001-0db8--5", "2001-0db8--5", "2001-0db8--5"},
      {"--ffff-a00-5", "--ffff-a00-5", "--ffff-a00-5"},
      {"cafe-babe", "cafe-babe", "cafe-babe"},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(c.name, AddressSectionName(c.text)) << c.text;
    EXPECT_EQ(c.shown, AddressDisplayText(c.text)) << c.text;
  }
}

}  // namespace
}  // namespace mervane
