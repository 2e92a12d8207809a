#include "host/site_variables.h"

#include "platform/platform.h"

namespace mervane {
namespace host {
namespace {

// The native folder without final slashes; "/" stays.
std::string NativeFolder(const char* path) {
  std::string folder = platform::NativePath(path);
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

}  // namespace

SiteVariables SiteVariablesOf(const isapi::SiteReport& report) {
  SiteVariables site;
  site.entry = report.entry;
  if (IsSafeName(report.user_dir)) site.user_dir = report.user_dir;
  site.document_root = NativeFolder(report.document_root);
  if (*report.context_prefix != '\0') {
    site.context_prefix = report.context_prefix;
    site.context_document_root = NativeFolder(report.context_root);
  }
  return site;
}

bool IsSafeName(const char* text) {
  if (*text == '\0' || *text == '.') return false;
  for (const char* c = text; *c != '\0'; ++c) {
    // ASCII only, whatever the locale.
    const bool safe = (*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z') ||
                      (*c >= '0' && *c <= '9') || *c == '.' || *c == '_' ||
                      *c == '-';
    if (!safe) return false;
  }
  return true;
}

}  // namespace host
}  // namespace mervane
