#include "platform/time_format_posix.h"

namespace mervane {
namespace platform {

namespace {

// Splits the conversion that starts at format[pos] ('%'): its length,
// modifiers (E, O) included; and its letter.
size_t ConversionLength(const std::string& format, size_t pos, char* letter) {
  size_t end = pos + 1;
  while (end < format.size() && (format[end] == 'E' || format[end] == 'O')) {
    ++end;
  }
  *letter = end < format.size() ? format[end] : '\0';
  return end < format.size() ? end + 1 - pos : end - pos;
}

// Replaces %T and %r by what they stand for; the expansions hold neither.
std::string ExpandShorthands(const std::string& format,
                             const std::string& am_pm_format) {
  const std::string am_pm =
      am_pm_format.empty() || am_pm_format.find("%r") != std::string::npos
          ? std::string("%I:%M:%S %p")
          : am_pm_format;
  std::string expanded;
  for (size_t pos = 0; pos < format.size();) {
    if (format[pos] != '%') {
      expanded += format[pos++];
      continue;
    }
    char letter;
    const size_t length = ConversionLength(format, pos, &letter);
    if (letter == 'T') {
      expanded += "%H:%M:%S";
    } else if (letter == 'r') {
      expanded += ExpandShorthands(am_pm, "%I:%M:%S %p");
    } else {
      expanded.append(format, pos, length);
    }
    pos += length;
  }
  return expanded;
}

// Whether the text between two fields only separates them (as ":" does),
// rather than naming the unit of the field before (as "m" in "%Mm%Ss").
bool IsSeparator(const std::string& text) {
  for (char c : text) {
    if (c != ' ' && c != ':' && c != '.' && c != ',' && c != '-') return false;
  }
  return true;
}

}  // namespace

std::string TimeFormatWithoutSeconds(const std::string& time_format,
                                     const std::string& am_pm_format) {
  const std::string format = ExpandShorthands(time_format, am_pm_format);
  std::string result;
  // Where the literal text after the last kept conversion begins in result:
  // the separator that a dropped seconds field takes with it.
  size_t separator_start = 0;
  // Set after a dropped seconds field that has a unit of its own ("s"),
  // which goes with it up to the next blank or field.
  bool in_seconds_unit = false;
  for (size_t pos = 0; pos < format.size();) {
    if (format[pos] != '%') {
      in_seconds_unit = in_seconds_unit && format[pos] != ' ';
      if (!in_seconds_unit) result += format[pos];
      ++pos;
      continue;
    }
    in_seconds_unit = false;
    char letter;
    const size_t length = ConversionLength(format, pos, &letter);
    if (letter == 'S') {
      if (IsSeparator(result.substr(separator_start))) {
        result.erase(separator_start);
      } else {
        in_seconds_unit = true;
      }
    } else {
      result.append(format, pos, length);
      separator_start = result.size();
    }
    pos += length;
  }
  return result;
}

}  // namespace platform
}  // namespace mervane
