#include "config/host_key_candidates.h"

#include <cstring>
#include <string>

#include "config/config_schema.h"

namespace mervane {

HostKeyCandidates::HostKeyCandidates(const char* host_name,
                                     const char* port_text) {
  // The port's rule stays the schema's: the exact key is its HostKey.
  const std::string port_suffix = schema::HostKey("", port_text);
  name_length_ = host_name != nullptr ? std::strlen(host_name) : 0;
  exact_[0] = '\0';
  port_suffix_ = exact_;
  fits_ = name_length_ + port_suffix.size() <= kMaxKeyLength;
  done_ = !fits_;
  if (!fits_) return;
  std::memcpy(exact_, host_name, name_length_);
  std::memcpy(exact_ + name_length_, port_suffix.c_str(),
              port_suffix.size() + 1);
  port_suffix_ = exact_ + name_length_;
}

bool HostKeyCandidates::Next() {
  if (done_) return false;
  while (next_label_ < name_length_) {
    const void* dot =
        std::memchr(exact_ + next_label_, '.', name_length_ - next_label_);
    if (dot == nullptr) break;
    const size_t at = static_cast<const char*>(dot) - exact_;
    next_label_ = at + 1;
    // "*." alone would be no wildcard: the suffix needs a character.
    if (next_label_ < name_length_) {
      SetPattern(exact_ + at, name_length_ - at);
      return true;
    }
  }
  done_ = true;
  SetPattern("", 0);
  return true;
}

void HostKeyCandidates::SetPattern(const char* text, size_t length) {
  pattern_[0] = '*';
  std::memcpy(pattern_ + 1, text, length);
  std::strcpy(pattern_ + 1 + length, port_suffix_);
  key_ = pattern_;
}

}  // namespace mervane
