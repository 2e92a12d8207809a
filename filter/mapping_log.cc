#include "filter/mapping_log.h"

#include <cstdarg>
#include <cstdio>

#include "platform/platform.h"

namespace mervane {
namespace {

constexpr size_t kTimeStampSize = 512;
// Longer messages are cut to 1023 characters.
constexpr size_t kMessageSize = 1024;

// Appends text with each control character (below 0x20, and 0x7f) written
// as %XX: a URL that the server decoded must not start lines of its own.
void AppendEscaped(const char* text, std::string* out) {
  static const char kHex[] = "0123456789ABCDEF";
  for (const char* c = text; *c != '\0'; ++c) {
    const unsigned char byte = static_cast<unsigned char>(*c);
    if (byte < 0x20 || byte == 0x7f) {
      out->append(1, '%').append(1, kHex[byte >> 4]).append(1, kHex[byte & 15]);
    } else {
      out->append(1, *c);
    }
  }
}

}  // namespace

MappingLog::~MappingLog() {
  if (block_.empty()) return;
  try {
    platform::AppendToFile(path_.c_str(), block_.data(), block_.size());
  } catch (...) {
    // Silent, as every failure of the log: the request is mapped already.
  }
}

void MappingLog::SetFile(const char* path) {
  path_ = path != nullptr ? path : "";
}

std::string MappingLog::TakeLines(std::string* path) {
  *path = path_;
  std::string lines;
  lines.swap(block_);
  return lines;
}

void MappingLog::Write(const char* format, ...) {
  if (path_.empty()) return;
  if (stamp_.empty()) {
    // The stamp has no seconds: one reading serves the request's lines.
    char stamp[kTimeStampSize];
    platform::FormatLogTimeStamp(stamp, sizeof stamp);
    stamp_ = stamp;
  }
  char message[kMessageSize];
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(message, sizeof message, format, arguments);
  va_end(arguments);
  block_.append(stamp_).append(":  ");
  // The messages' own formats hold no control characters: escaping the
  // whole message escapes exactly the texts written into it.
  AppendEscaped(message, &block_);
  block_.append(1, '\n');
}

}  // namespace mervane
