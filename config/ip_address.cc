#include "config/ip_address.h"

#include <algorithm>
#include <cstdint>

#include "config/config_node.h"

namespace mervane {
namespace {

constexpr int kGroups = 8;

struct Ipv6Address {
  uint16_t groups[kGroups];
  std::string_view zone;
};

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsZoneCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
         (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.';
}

// One group of one to four hex digits.
bool ParseGroup(std::string_view text, uint16_t* group) {
  if (text.empty() || text.size() > 4) return false;
  unsigned value = 0;
  for (char c : text) {
    int digit = HexDigit(c);
    if (digit < 0) return false;
    value = value * 16 + digit;
  }
  *group = static_cast<uint16_t>(value);
  return true;
}

// Dotted decimal as inet_pton reads it: four numbers up to 255, without
// leading zeros (which other readers take for octal), into two groups.
bool ParseDottedQuad(std::string_view text, uint16_t* groups) {
  unsigned bytes[4];
  for (int i = 0; i < 4; ++i) {
    size_t dot = i < 3 ? text.find('.') : text.size();
    if (dot == std::string_view::npos || dot == 0 || dot > 3) return false;
    if (dot > 1 && text[0] == '0') return false;
    bytes[i] = 0;
    for (size_t j = 0; j < dot; ++j) {
      if (text[j] < '0' || text[j] > '9') return false;
      bytes[i] = bytes[i] * 10 + (text[j] - '0');
    }
    if (bytes[i] > 255) return false;
    text.remove_prefix(i < 3 ? dot + 1 : dot);
  }
  groups[0] = static_cast<uint16_t>(bytes[0] << 8 | bytes[1]);
  groups[1] = static_cast<uint16_t>(bytes[2] << 8 | bytes[3]);
  return true;
}

// Reads the groups of text (an address without its zone) into
// groups[0..*count); *gap is the index at which "::" stands, -1 without one.
bool ParseGroups(std::string_view text, uint16_t* groups, int* count,
                 int* gap) {
  *count = 0;
  *gap = -1;
  if (text.substr(0, 2) == "::") {
    *gap = 0;
    text.remove_prefix(2);
  }
  while (!text.empty()) {
    size_t end = std::min(text.find(':'), text.size());
    std::string_view part = text.substr(0, end);
    if (part.find('.') != std::string_view::npos) {
      // A dotted quad stands only at the end, for the last two groups.
      if (end != text.size() || *count + 2 > kGroups ||
          !ParseDottedQuad(part, &groups[*count])) {
        return false;
      }
      *count += 2;
      return true;
    }
    if (*count == kGroups || !ParseGroup(part, &groups[*count])) return false;
    ++*count;
    if (end == text.size()) break;
    text.remove_prefix(end + 1);
    if (text.empty()) return false;  // a single ':' at the end
    if (text[0] == ':') {
      if (*gap >= 0) return false;
      *gap = *count;
      text.remove_prefix(1);
    }
  }
  return true;
}

bool ParseIpv6(std::string_view text, Ipv6Address* address) {
  address->zone = {};
  size_t percent = text.find('%');
  if (percent != std::string_view::npos) {
    address->zone = text.substr(percent + 1);
    if (address->zone.empty()) return false;
    for (char c : address->zone) {
      if (!IsZoneCharacter(c)) return false;
    }
    text = text.substr(0, percent);
  }
  uint16_t* groups = address->groups;
  int count, gap;
  if (!ParseGroups(text, groups, &count, &gap)) return false;
  if (gap < 0) return count == kGroups;
  if (count == kGroups) return false;  // "::" stands for at least one group
  std::copy_backward(groups + gap, groups + count, groups + kGroups);
  std::fill(groups + gap, groups + gap + (kGroups - count), 0);
  return true;
}

// Writes into a fixed buffer and tells at the end whether all of it fit.
class TextWriter {
 public:
  TextWriter(char* out, size_t size) : out_(out), size_(size) {}

  void Put(char c) {
    if (length_ + 1 < size_) out_[length_] = c;
    ++length_;
  }
  void Put(std::string_view text) {
    for (char c : text) Put(c);
  }
  void Hex(unsigned value) {
    static const char kDigits[] = "0123456789abcdef";
    int shift = 12;
    while (shift > 0 && (value >> shift) == 0) shift -= 4;
    for (; shift >= 0; shift -= 4) Put(kDigits[(value >> shift) & 0xF]);
  }
  void Decimal(unsigned value) {
    if (value >= 10) Decimal(value / 10);
    Put(static_cast<char>('0' + value % 10));
  }
  // The length written, or 0 when it did not fit with its terminator.
  size_t Finish() {
    if (length_ >= size_) return 0;
    out_[length_] = '\0';
    return length_;
  }

 private:
  char* out_;
  size_t size_;
  size_t length_ = 0;
};

bool IsIpv4Mapped(const Ipv6Address& address) {
  for (int i = 0; i < 5; ++i) {
    if (address.groups[i] != 0) return false;
  }
  return address.groups[5] == 0xFFFF;
}

// The first longest run of two or more zero groups; length 0 when none.
void LongestZeroRun(const Ipv6Address& address, int* start, int* length) {
  *start = 0;
  *length = 0;
  for (int i = 0; i < kGroups;) {
    int run = 0;
    while (i + run < kGroups && address.groups[i + run] == 0) ++run;
    if (run >= 2 && run > *length) {
      *start = i;
      *length = run;
    }
    i += run > 0 ? run : 1;
  }
}

// Writes the canonical text of address with `colon` between the groups and
// `zone_mark` before the zone, or an IPv4-mapped address as its IPv4 text
// (a zone means nothing there); returns its length, or 0 when it does not
// fit into size bytes with its terminator.
size_t Format(const Ipv6Address& address, char colon, char zone_mark, char* out,
              size_t size) {
  TextWriter writer(out, size);
  if (IsIpv4Mapped(address)) {
    for (int i = 0; i < 4; ++i) {
      if (i > 0) writer.Put('.');
      writer.Decimal((address.groups[6 + i / 2] >> (i % 2 == 0 ? 8 : 0)) &
                     0xFF);
    }
    return writer.Finish();
  }
  int run_start, run_length;
  LongestZeroRun(address, &run_start, &run_length);
  for (int i = 0; i < kGroups; ++i) {
    if (run_length > 0 && i == run_start) {
      writer.Put(colon);
      writer.Put(colon);
      i += run_length - 1;
      continue;
    }
    // No separator of its own right after the "::".
    if (i > 0 && i != run_start + run_length) writer.Put(colon);
    writer.Hex(address.groups[i]);
  }
  if (!address.zone.empty()) {
    writer.Put(zone_mark);
    writer.Put(address.zone);
  }
  return writer.Finish();
}

// The IPv6 text a section name stands for: '-' back to ':' before the zone
// mark 's', which becomes '%'.
std::string ColonText(std::string_view section_name) {
  std::string text(section_name);
  for (char& c : text) {
    if (c == 's' || c == 'S') {
      c = '%';
      break;
    }
    if (c == '-') c = ':';
  }
  return text;
}

}  // namespace

size_t Ipv6SectionName(std::string_view text, char (&name)[kAddressTextSize]) {
  Ipv6Address address;
  if (!ParseIpv6(text, &address)) return 0;
  return Format(address, '-', 's', name, sizeof name);
}

std::string AddressSectionName(std::string_view text) {
  if (text.find(':') == std::string_view::npos) return std::string(text);
  char name[kAddressTextSize];
  size_t length = Ipv6SectionName(text, name);
  return length > 0 ? std::string(name, length) : std::string(text);
}

std::string AddressDisplayText(std::string_view text) {
  const bool has_colon = text.find(':') != std::string_view::npos;
  if (!has_colon && text.find('-') == std::string_view::npos) {
    return std::string(text);
  }
  const std::string original(text);
  const std::string colon_text = has_colon ? original : ColonText(text);
  // Only the canonical section name is an address's: any other name with
  // '-' is found as it is, so it is shown as it is.
  char name[kAddressTextSize];
  if (!has_colon && (Ipv6SectionName(colon_text, name) == 0 ||
                     CompareNamesIgnoringCase(name, original.c_str()) != 0)) {
    return original;
  }
  Ipv6Address address;
  char shown[kAddressTextSize];
  if (!ParseIpv6(colon_text, &address) ||
      Format(address, ':', '%', shown, sizeof shown) == 0) {
    return original;
  }
  return shown;
}

}  // namespace mervane
