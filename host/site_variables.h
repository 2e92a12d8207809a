// The request variables that tell a mapped request's programs, and the
// server's configuration, which host entry served it: what the filter
// reported (isapi::SiteReport) made native.
//
//   DOCUMENT_ROOT          the folder that the host's "/" maps to
//   CONTEXT_PREFIX         the URL prefix that a folder exception, a common
//   CONTEXT_DOCUMENT_ROOT  path or SchemeB's first URL segment mapped, and
//                          its folder, as Apache's Alias gives them; left to
//                          the server (empty, DOCUMENT_ROOT) when there is none
//   MERVANE_ENTRY          the host entry's key
//   MERVANE_USERDIR        its UserDir, only when it can be part of a file
//                          name in a configuration line such as a PHP-FPM
//                          pool's socket path
//
// Thread safety: plain values and functions of their arguments.

#ifndef MERVANE_HOST_SITE_VARIABLES_H_
#define MERVANE_HOST_SITE_VARIABLES_H_

#include <string>

#include "platform/isapi.h"

namespace mervane {
namespace host {

struct SiteVariables {
  std::string entry;
  std::string user_dir;  // empty: MERVANE_USERDIR stays unset
  std::string document_root;
  std::string context_prefix;  // empty: no context of its own
  std::string context_document_root;
};

// The variables of a report; paths in native form without final slashes.
SiteVariables SiteVariablesOf(const isapi::SiteReport& report);

// True when text is a safe name: letters, digits, '.', '_' and '-' only,
// not empty and not starting with '.', so that it names neither a path nor a
// hidden file.
bool IsSafeName(const char* text);

}  // namespace host
}  // namespace mervane

#endif  // MERVANE_HOST_SITE_VARIABLES_H_
