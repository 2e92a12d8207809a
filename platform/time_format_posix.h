// The POSIX stand-in for GetTimeFormatA's TIME_NOSECONDS: derives, from a
// locale's strftime time format, the same format without the seconds field.
//
// Thread safety: pure function.

#ifndef MERVANE_PLATFORM_TIME_FORMAT_POSIX_H_
#define MERVANE_PLATFORM_TIME_FORMAT_POSIX_H_

#include <string>

namespace mervane {
namespace platform {

// Returns `time_format` (a locale's T_FMT, such as "%H:%M:%S" or "%r") with
// every seconds conversion removed together with the separator written
// before it, so "%I:%M:%S %p" becomes "%I:%M %p". The shorthands %T and %r
// are expanded first; %r expands to `am_pm_format` (the locale's
// T_FMT_AMPM), or to "%I:%M:%S %p" when that is empty.
std::string TimeFormatWithoutSeconds(const std::string& time_format,
                                     const std::string& am_pm_format);

}  // namespace platform
}  // namespace mervane

#endif  // MERVANE_PLATFORM_TIME_FORMAT_POSIX_H_
