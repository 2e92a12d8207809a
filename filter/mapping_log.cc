// MappingFilter::WriteLog: the mapping log, one file per real site IP.

#include "filter/mapping_filter.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>

#include "config/config_schema.h"
#include "platform/platform.h"

namespace mervane {
namespace {

constexpr size_t kTimeStampSize = 512;
// Longer messages are cut to 1023 characters.
constexpr size_t kMessageSize = 1024;

// Held around the open, write and close of one line, so that lines of one
// file never interleave, whichever filter object writes them. Destroyed
// with the library, which a server may unload and load again.
std::mutex& LogFileMutex() {
  static std::mutex mutex;
  return mutex;
}

// Appends the line to the file at log_path; nothing when log_path is null.
void AppendLogLine(const char* log_path, const char* format,
                   va_list arguments) {
  if (log_path == nullptr) return;
  char stamp[kTimeStampSize];
  platform::FormatLogTimeStamp(stamp, sizeof stamp);
  char message[kMessageSize];
  std::vsnprintf(message, sizeof message, format, arguments);

  std::lock_guard<std::mutex> lock(LogFileMutex());
  std::FILE* file = platform::OpenFile(log_path, "at");
  if (file == nullptr) return;
  std::fprintf(file, "%s:  %s\n", stamp, message);
  std::fclose(file);
}

}  // namespace

void MappingFilter::WriteLog(const char* ip, const char* format, ...) {
  if (config_root_ == nullptr) return;
  // Looked up per line, so a changed setting takes effect with the next
  // line after a reload.
  const char* log_path = LogPathOf(*config_root_->GetSection(ip));
  va_list arguments;
  va_start(arguments, format);
  AppendLogLine(log_path, format, arguments);
  va_end(arguments);
}

void MappingFilter::WriteLogTo(const char* log_path, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  AppendLogLine(log_path, format, arguments);
  va_end(arguments);
}

const char* MappingFilter::LogPathOf(const ConfigSection& ip_section) {
  const char* log_path = ip_section.GetSection(schema::kMain)
                             ->GetArray(schema::kLog)
                             ->FirstString();
  return log_path != nullptr && *log_path != '\0' ? log_path : nullptr;
}

}  // namespace mervane
