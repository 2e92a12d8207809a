// The limits of the configuration file's format, one definition for the
// reader, the writer and the check of what the file can carry.

#ifndef MERVANE_CONFIG_FORMAT_LIMITS_H_
#define MERVANE_CONFIG_FORMAT_LIMITS_H_

#include <cstddef>

namespace mervane {

// The reader cuts longer names (section, array, "array[value]") ...
inline constexpr size_t kLongestName = 255;
// ... and longer value texts ...
inline constexpr size_t kLongestValueText = 511;
// ... and splits longer lines, indentation included.
inline constexpr size_t kLongestLine = 1022;
// A file with sections nested deeper is not loaded, and a tree nested deeper
// is not saved: every walk of a tree recurses once per level, on request
// threads whose stacks are small. The schema needs five levels.
inline constexpr size_t kDeepestNesting = 64;

}  // namespace mervane

#endif  // MERVANE_CONFIG_FORMAT_LIMITS_H_
