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
// without a host name tries the default alone after its exact key. A key
// longer than kMaxKeyLength can name no section of the file and is passed
// over, so a name too long for its exact key may still be served by a
// wildcard or the default. A caller that knows the IP's entries leaves out
// the wildcard keys whose label count none of them has, and the default
// when it has none. Keys are only built here; which of them name an entry,
// and whether an entry's name is a valid pattern at all (HostPatternOf), is
// the caller's lookup.
//
// Thread safety: an instance belongs to one thread. Keys are built in its
// own buffers.

#ifndef MERVANE_CONFIG_HOST_KEY_CANDIDATES_H_
#define MERVANE_CONFIG_HOST_KEY_CANDIDATES_H_

#include <cstddef>

#include "config/wildcard_labels.h"

namespace mervane {

class HostKeyCandidates {
 public:
  // A longer key cannot name a section of the configuration file.
  static constexpr size_t kMaxKeyLength = 255;

  // host_name and port_text as the server reports them; either may be null,
  // which counts as the empty text. Only wildcard keys of the counts in
  // `wildcards` are tried, the default only when `with_default`.
  HostKeyCandidates(const char* host_name, const char* port_text,
                    const WildcardLabels& wildcards = WildcardLabels::Every(),
                    bool with_default = true);
  HostKeyCandidates(const HostKeyCandidates&) = delete;
  HostKeyCandidates& operator=(const HostKeyCandidates&) = delete;

  // The exact key: the host name, with "|" and the port text unless the
  // port reads (as atoi) as 80; tried only when it fits. Empty, and no key
  // is tried, when the name or the port text alone is longer than
  // kMaxKeyLength, which no server reports.
  const char* exact_key() const { return exact_; }
  // Moves to the next candidate, the first call to the first one. False,
  // leaving key() alone, when there is none left.
  bool Next();
  // The candidate at hand, once Next returned true.
  const char* key() const { return key_; }
  // True while key() is the exact key.
  bool at_exact() const { return key_ == exact_; }

 private:
  enum class Stage { kExact, kFirstWildcard, kWildcards, kDefault, kDone };

  // Moves next_label_ past the dots whose wildcard keys hold more dots
  // than any count of wildcards_, and counts the name's dots after it.
  void SkipLabelsOfNoWildcard();
  // Moves key() to the next wildcard key that fits and has a count of
  // wildcards_; false when there is none left.
  bool NextWildcard();
  // Writes '*', then text, then the port suffix into pattern_.
  void SetPattern(const char* text, size_t length);

  // A host name and a port suffix of kMaxKeyLength characters each.
  char exact_[2 * kMaxKeyLength + 1];
  char pattern_[kMaxKeyLength + 1];
  const char* key_ = nullptr;
  const char* port_suffix_;  // in exact_: "" or "|PORT"
  size_t name_length_ = 0;
  size_t suffix_length_ = 0;
  size_t suffix_dots_ = 0;
  const WildcardLabels wildcards_;
  const bool with_default_;
  Stage stage_ = Stage::kExact;
  // Where the search for the next '.' starts: the first label, even an
  // empty one, is never dropped.
  size_t next_label_ = 1;
  // The dots of the name from next_label_ on.
  size_t name_dots_ = 0;
};

}  // namespace mervane

#endif  // MERVANE_CONFIG_HOST_KEY_CANDIDATES_H_
