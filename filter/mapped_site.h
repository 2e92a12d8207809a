// MappedSite: what served a mapped request, beside its physical path: the
// host entry and the folders of its site, as a server that hands requests on
// to programs needs them (platform/isapi.h, kReportSite). Texts are in the
// configuration's form.

#ifndef MERVANE_FILTER_MAPPED_SITE_H_
#define MERVANE_FILTER_MAPPED_SITE_H_

#include <string>

namespace mervane {

struct MappedSite {
  std::string entry;     // the host entry's key
  std::string user_dir;  // its UserDir
  // The folder that the host's "/" maps to; it may end in '\'.
  std::string document_root;
  // The URL prefix that a folder exception, a common path or SchemeB's first
  // URL segment mapped ("/docs"), and the folder it mapped to; both empty
  // when the request was mapped by the scheme from the document root.
  std::string context_prefix;
  std::string context_root;
};

}  // namespace mervane

#endif  // MERVANE_FILTER_MAPPED_SITE_H_
