#include "config/host_key_candidates.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "config/config_schema.h"

namespace mervane {

HostKeyCandidates::HostKeyCandidates(const char* host_name,
                                     const char* port_text,
                                     const WildcardLabels& wildcards,
                                     bool with_default)
    : wildcards_(wildcards), with_default_(with_default) {
  // The port's rule stays the schema's: the exact key is its HostKey.
  const std::string port_suffix = schema::HostKey("", port_text);
  const size_t name_length = host_name != nullptr ? std::strlen(host_name) : 0;
  exact_[0] = '\0';
  port_suffix_ = exact_;
  if (name_length > kMaxKeyLength || port_suffix.size() > kMaxKeyLength) {
    stage_ = Stage::kDone;
    return;
  }
  name_length_ = name_length;
  suffix_length_ = port_suffix.size();
  std::memcpy(exact_, host_name, name_length_);
  std::memcpy(exact_ + name_length_, port_suffix.c_str(), suffix_length_ + 1);
  port_suffix_ = exact_ + name_length_;
}

bool HostKeyCandidates::Next() {
  switch (stage_) {
    case Stage::kExact:
      stage_ = Stage::kFirstWildcard;
      if (name_length_ + suffix_length_ <= kMaxKeyLength) {
        key_ = exact_;
        return true;
      }
      [[fallthrough]];
    case Stage::kFirstWildcard:
      // Only now: most requests are served by their exact key.
      SkipLabelsOfNoWildcard();
      stage_ = Stage::kWildcards;
      [[fallthrough]];
    case Stage::kWildcards:
      if (NextWildcard()) return true;
      stage_ = Stage::kDefault;
      [[fallthrough]];
    case Stage::kDefault:
      stage_ = Stage::kDone;
      if (with_default_ && 1 + suffix_length_ <= kMaxKeyLength) {
        SetPattern("", 0);
        return true;
      }
      [[fallthrough]];
    case Stage::kDone:
      break;
  }
  return false;
}

void HostKeyCandidates::SkipLabelsOfNoWildcard() {
  suffix_dots_ = std::count(port_suffix_, port_suffix_ + suffix_length_, '.');
  const size_t most = wildcards_.Most();
  // From the end, so that the labels of a long name that no wildcard has
  // that many of are passed over unread.
  size_t at = name_length_;
  while (at > next_label_) {
    if (exact_[--at] != '.') continue;
    if (most < WildcardLabels::kLastCount &&
        name_dots_ + 1 + suffix_dots_ > most) {
      next_label_ = at + 1;
      return;
    }
    ++name_dots_;
  }
}

bool HostKeyCandidates::NextWildcard() {
  while (next_label_ < name_length_) {
    const size_t at = next_label_++;
    if (exact_[at] != '.') continue;
    const size_t dots = name_dots_-- + suffix_dots_;
    // "*." alone would be no wildcard: the suffix needs a character.
    const size_t length = 1 + (name_length_ - at) + suffix_length_;
    if (next_label_ < name_length_ && length <= kMaxKeyLength &&
        wildcards_.Has(dots)) {
      SetPattern(exact_ + at, name_length_ - at);
      return true;
    }
  }
  return false;
}

void HostKeyCandidates::SetPattern(const char* text, size_t length) {
  pattern_[0] = '*';
  std::memcpy(pattern_ + 1, text, length);
  std::memcpy(pattern_ + 1 + length, port_suffix_, suffix_length_ + 1);
  key_ = pattern_;
}

}  // namespace mervane
