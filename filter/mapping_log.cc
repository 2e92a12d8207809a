#include "filter/mapping_log.h"

#include <cstdarg>
#include <cstdio>

#include "platform/platform.h"

namespace mervane {
namespace {

constexpr size_t kTimeStampSize = 512;
// Longer messages are cut to 1023 characters.
constexpr size_t kMessageSize = 1024;

}  // namespace

MappingLog::~MappingLog() {
  if (!block_.empty()) {
    platform::AppendToFile(path_.c_str(), block_.data(), block_.size());
  }
}

void MappingLog::SetFile(const char* path) {
  path_ = path != nullptr ? path : "";
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
  block_.append(stamp_).append(":  ").append(message).append("\n");
}

}  // namespace mervane
