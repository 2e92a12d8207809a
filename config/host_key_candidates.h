// HostKeyCandidates: the keys of the virtual host entries that may serve a
// request, in the order in which they are tried; the first that names an
// entry of the IP serves it. For the host name shop.example.com on port
// 8080:
//
//   shop.example.com|8080   the exact entry, which always wins
//   *.example.com|8080      wildcards, longest suffix first: one key per
//   *.com|8080              label after the first
//   *|8080                  the IP's default host for that port
//
// On port 80 the keys carry no "|80". A name is never its own wildcard's
// suffix (example.com is not served by *.example.com), and a request
// without a host name tries the default alone after its exact key. Keys
// are only built here; which of them name an entry, and whether an entry's
// name is a valid pattern at all (HostPatternOf), is the caller's lookup.
//
// Thread safety: an instance belongs to one thread. Keys are built in its
// own buffers.

#ifndef MERVANE_CONFIG_HOST_KEY_CANDIDATES_H_
#define MERVANE_CONFIG_HOST_KEY_CANDIDATES_H_

#include <cstddef>

namespace mervane {

class HostKeyCandidates {
 public:
  // A longer key cannot name a section of the configuration file.
  static constexpr size_t kMaxKeyLength = 255;

  // host_name and port_text as the server reports them; either may be null,
  // which counts as the empty text.
  HostKeyCandidates(const char* host_name, const char* port_text);
  HostKeyCandidates(const HostKeyCandidates&) = delete;
  HostKeyCandidates& operator=(const HostKeyCandidates&) = delete;

  // False when the exact key is longer than kMaxKeyLength; then no key
  // holds anything useful, and nothing may be looked up.
  bool fits() const { return fits_; }
  // The exact key: the host name, with "|" and the port text unless the
  // port reads (as atoi) as 80. Stays valid across Next.
  const char* exact_key() const { return exact_; }
  // The candidate at hand: the exact key until the first Next.
  const char* key() const { return key_; }
  // True while key() is the exact key.
  bool at_exact() const { return key_ == exact_; }
  // Moves key() to the next candidate. False, leaving key() alone, after
  // the default.
  bool Next();

 private:
  // Writes '*', then text, then the port suffix into pattern_.
  void SetPattern(const char* text, size_t length);

  char exact_[kMaxKeyLength + 1];
  char pattern_[kMaxKeyLength + 1];
  const char* key_ = exact_;
  const char* port_suffix_;  // in exact_: "" or "|PORT"
  size_t name_length_ = 0;
  // Where the search for the next '.' starts: a first label is never empty,
  // so no wildcard key is longer than the exact key.
  size_t next_label_ = 1;
  bool fits_ = false;
  bool done_ = false;
};

}  // namespace mervane

#endif  // MERVANE_CONFIG_HOST_KEY_CANDIDATES_H_
