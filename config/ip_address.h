// The section names of IP addresses. An IPv4 address names its section as
// the server reports it (dotted decimal). A section name cannot hold ':', so
// an IPv6 address names its section by its canonical text (lower case,
// leading zeros dropped, the longest run of two or more zero groups written
// as "::", the first such run on a tie, no dotted part) with every ':'
// written as '-' and a zone's '%' as 's':
//
//   ::1            --1
//   2001:db8::5    2001-db8--5
//   fe80::1%4      fe80--1s4
//
// so that every spelling of one address finds one section. An IPv4-mapped
// address (::ffff:10.0.0.5) is named by its IPv4 section (10.0.0.5); a zone
// on it is dropped.
//
// Thread safety: pure functions; any number of threads may call them.

#ifndef MERVANE_CONFIG_IP_ADDRESS_H_
#define MERVANE_CONFIG_IP_ADDRESS_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace mervane {

// Bytes that hold the text of any address the server reports, zone and
// terminator included, and so any section name of an address.
inline constexpr size_t kAddressTextSize = 64;

// Writes the section name of the IPv6 address `text` (any spelling that
// inet_pton takes, optionally followed by '%' and a zone of letters, digits,
// '-', '_' or '.') with its terminator into `name`. Returns its length, or 0
// when text is not such an address or the name would not fit (name then
// holds nothing useful). Never allocates.
size_t Ipv6SectionName(std::string_view text, char (&name)[kAddressTextSize]);

// The section name of an address in either notation: an IPv6 address with
// ':' as above; any other text (IPv4, a section name already, or a text that
// is no address at all) as it is.
std::string AddressSectionName(std::string_view text);

// The usual notation of an address for people: an IPv6 section name in its
// canonical form (2001-db8--5) and any spelling of an IPv6 address give the
// canonical text with ':' (2001:db8::5); every other text is returned as it
// is, so IPv4 addresses are never changed.
std::string AddressDisplayText(std::string_view text);

}  // namespace mervane

#endif  // MERVANE_CONFIG_IP_ADDRESS_H_
