#include "filter/path_text.h"

#include <algorithm>

#include "platform/platform.h"

namespace mervane {

std::string ToBackslashes(std::string_view text) {
  std::string result(text);
  std::replace(result.begin(), result.end(), '/', '\\');
  return result;
}

std::string_view FirstSegment(std::string_view text) {
  const size_t first = text.find('\\');
  if (first == std::string_view::npos) return std::string_view();
  const size_t next = text.find('\\', first + 1);
  return text.substr(first + 1, next - first - 1);
}

std::string_view TextAfter(std::string_view text, std::string_view needle) {
  const size_t at = text.find(needle);
  if (at == std::string_view::npos) return std::string_view();
  return text.substr(at + needle.size());
}

std::string_view TextBefore(std::string_view text, std::string_view needle) {
  const size_t at = text.find(needle);
  if (at == std::string_view::npos) return std::string_view();
  return text.substr(0, at);
}

std::string_view SiteRoot(std::string_view url_text,
                          std::string_view physical_path) {
  // Cutting at the first occurrence would be wrong when the site root
  // itself contains the URL's text, as c:\inetpub\docs does for "\docs".
  if (!url_text.empty() && physical_path.size() >= url_text.size() &&
      physical_path.substr(physical_path.size() - url_text.size()) ==
          url_text) {
    return physical_path.substr(0, physical_path.size() - url_text.size());
  }
  if (url_text.size() >= 2) return TextBefore(physical_path, url_text);
  if (physical_path.empty()) return std::string_view();
  return physical_path.substr(0, physical_path.size() - 1);
}

bool IsExistingFile(const std::string& path) {
  if (path.find_first_of("*?") != std::string::npos) return false;
  bool is_directory = false;
  return platform::FindFileEntry(path.c_str(), &is_directory) && !is_directory;
}

}  // namespace mervane
