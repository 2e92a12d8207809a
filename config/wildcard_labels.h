// WildcardLabels: the label counts of an IP's wildcard entries, so that a
// request tries only the wildcard keys that can name one of them
// (HostKeyCandidates): a 255-character name of 128 labels would otherwise
// try 127 keys.
//
// A key's count is the number of '.' in the whole key, its port included: a
// wildcard key and the entry it names are one text, so the two always
// agree, whatever the name and the port hold. Counts of kLastCount and more
// share the last bit.
//
// A plain value of fixed size without pointers, so that an index may store
// it as it is; WildcardLabels{} holds no count.
//
// Thread safety: a value; its const members may be called from any thread.

#ifndef MERVANE_CONFIG_WILDCARD_LABELS_H_
#define MERVANE_CONFIG_WILDCARD_LABELS_H_

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace mervane {

struct WildcardLabels {
  static constexpr size_t kLastCount = 127;

  // Every count: for a caller that does not know an IP's entries.
  static WildcardLabels Every() { return {{~uint64_t{0}, ~uint64_t{0}}}; }

  // Adds the count of the wildcard entry named key.
  void Add(std::string_view key) {
    const size_t bit =
        BitOf(static_cast<size_t>(std::count(key.begin(), key.end(), '.')));
    bits[bit / 64] |= uint64_t{1} << (bit % 64);
  }
  // True when a key of `dots` dots may name a wildcard entry.
  bool Has(size_t dots) const {
    const size_t bit = BitOf(dots);
    return (bits[bit / 64] >> (bit % 64) & 1) != 0;
  }
  // The largest count held; kLastCount stands for any larger one too, 0
  // when none is held.
  size_t Most() const {
    const bool high = bits[1] != 0;
    uint64_t word = high ? bits[1] : bits[0];
    size_t bit = high ? 64 : 0;
    for (size_t shift = 32; shift > 0; shift /= 2) {
      if ((word >> shift) != 0) {
        word >>= shift;
        bit += shift;
      }
    }
    return bit;
  }
  static size_t BitOf(size_t dots) { return std::min(dots, kLastCount); }

  uint64_t bits[2];  // count n: bit n % 64 of bits[n / 64]
};

}  // namespace mervane

#endif  // MERVANE_CONFIG_WILDCARD_LABELS_H_
