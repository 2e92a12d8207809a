// Snapshot::MapUrl: the mapping of one request.

#include "filter/snapshot.h"

#include <cstring>
#include <string>
#include <string_view>
#include <utility>

#include "config/host_key_candidates.h"
#include "config/ip_address.h"
#include "filter/mapping_log.h"
#include "filter/path_text.h"

namespace mervane {
namespace {

// Buffer sizes of the two other server variables, terminator included.
constexpr uint32_t kServerPortSize = 6;
constexpr uint32_t kServerNameSize = 256;

// Room for any path that Windows names without its long-path prefix: the
// mapped path is built in one allocation as a rule.
constexpr size_t kPathCapacity = isapi::kMaxPath;

// What the mapping reads of one request's URL and physical path.
struct RequestPath {
  RequestPath(const char* url, const char* physical_path)
      : physical_path(physical_path),
        url_text(ToBackslashes(url)),
        url_subdir(FirstSegment(url_text)),
        tail(TextAfter(url_text, "\\" + url_subdir)) {}
  // tail points into url_text.
  RequestPath(const RequestPath&) = delete;
  RequestPath& operator=(const RequestPath&) = delete;

  const char* physical_path;
  std::string url_text;    // the URL with backslashes
  std::string url_subdir;  // its first segment; empty for "/"
  std::string_view tail;   // what follows the first segment, from its '\' on
};

// What the scheme mapping reads of the IP's and the host's settings.
struct SchemeSettings {
  std::string_view web_root;
  std::string_view scheme_b_root;
  std::string_view user_dir;
  HostScheme scheme;
};

// The path for a host of "SchemeB" below the base directory `path`: the
// host's root files live in base + schemeBRoot + "\" + userDir, each
// top-level folder of the site holds one folder per host. When it maps
// through the URL's first segment, that segment's folder goes to
// *segment_folder, if given.
std::string SchemeBPath(std::string path, const SchemeSettings& settings,
                        const RequestPath& request,
                        std::string* segment_folder) {
  const std::string_view scheme_b_root = settings.scheme_b_root;
  const std::string_view user_dir = settings.user_dir;
  std::string probe;
  probe.reserve(kPathCapacity);
  probe.append(path).append(scheme_b_root).append("\\").append(user_dir);
  probe.append("\\").append(request.url_subdir);
  const bool is_file = IsExistingFile(probe);
  const bool by_segment = !request.url_subdir.empty() && !is_file;

  if (by_segment) {
    path.append(request.url_subdir);
  } else {
    path.append(scheme_b_root);
  }
  path.append("\\").append(user_dir);
  if (by_segment && segment_folder != nullptr) *segment_folder = path;
  if (!request.tail.empty()) {
    path.append(request.tail);
  } else if (is_file) {
    path.append("\\").append(request.url_subdir);
  }
  return path;
}

// The server's site root for the request, and a '\'.
std::string RootSlash(const RequestPath& request) {
  std::string root_slash(SiteRoot(request.url_text, request.physical_path));
  root_slash += '\\';
  return root_slash;
}

// The base directory of the scheme mapping, with its final '\': WebRoot, or
// the server's site root; empty when UserDir is a full path.
std::string BaseDirectory(const SchemeSettings& settings,
                          const std::string& root_slash) {
  std::string base;
  base.reserve(kPathCapacity);
  base.append(settings.web_root);
  if (base.empty()) {
    base = root_slash;
  } else if (base.back() != '\\') {
    base += '\\';
  }
  if (settings.user_dir.find(':') != std::string_view::npos) base.clear();
  return base;
}

// The path by the host's scheme over the base directory; SchemeBPath tells
// *segment_folder. root_slash: RootSlash(request).
std::string SchemePath(const SchemeSettings& settings,
                       const RequestPath& request,
                       const std::string& root_slash,
                       std::string* segment_folder) {
  std::string base = BaseDirectory(settings, root_slash);
  switch (settings.scheme) {
    case HostScheme::kSchemeA:
      base.append(settings.user_dir).append("\\");
      base.append(TextAfter(request.physical_path, root_slash));
      return base;
    case HostScheme::kSchemeB:
      return SchemeBPath(std::move(base), settings, request, segment_folder);
    case HostScheme::kNone:
      break;
  }
  return base;
}

// The folder that the host's "/" maps to by its scheme: what SchemePath
// gives for the URL "/".
std::string HomeFolder(const SchemeSettings& settings,
                       const std::string& root_slash) {
  std::string home = BaseDirectory(settings, root_slash);
  if (settings.scheme == HostScheme::kSchemeA) {
    home.append(settings.user_dir);
  } else if (settings.scheme == HostScheme::kSchemeB) {
    home.append(settings.scheme_b_root).append("\\").append(settings.user_dir);
  }
  return home;
}

// Fills *site for the request that the host entry `entry` served;
// context_root is the folder its first URL segment mapped to, empty when
// the scheme mapped it below the host's "/".
void DescribeSite(const char* entry, const SchemeSettings& settings,
                  const RequestPath& request, const std::string& root_slash,
                  std::string context_root, MappedSite* site) {
  site->entry = entry;
  site->user_dir = settings.user_dir;
  site->document_root = HomeFolder(settings, root_slash);
  if (!context_root.empty()) {
    site->context_prefix = "/" + request.url_subdir;
    site->context_root = std::move(context_root);
  }
}

// Puts path and its terminator into the record: into the server's buffer
// when they fit, else into request memory that replaces it. Returns false,
// leaving the record alone, when no memory can be had.
bool ReplacePhysicalPath(const std::string& path, RequestMemory* memory,
                         HTTP_FILTER_URL_MAP* record) {
  const size_t size = path.size() + 1;
  if (size <= record->cbPathBuff) {
    std::memcpy(record->pszPhysicalPath, path.c_str(), size);
    return true;
  }
  char* buffer = static_cast<char*>(memory->AllocMem(size));
  if (buffer == nullptr) return false;
  std::memcpy(buffer, path.c_str(), size);
  record->pszPhysicalPath = buffer;
  record->cbPathBuff = static_cast<DWORD>(size);
  return true;
}

}  // namespace

DWORD Snapshot::MapUrl(ServerVariableSource* variables, RequestMemory* memory,
                       HTTP_FILTER_URL_MAP* record, MappingLog* log,
                       MappedSite* site) const {
  constexpr DWORD kPass = SF_STATUS_REQ_NEXT_NOTIFICATION;

  char ip[kAddressTextSize];
  char port[kServerPortSize];
  if (!variables->GetServerVariable("LOCAL_ADDR", ip, sizeof ip) ||
      !variables->GetServerVariable("SERVER_PORT", port, sizeof port)) {
    return kPass;
  }
  const auto* ip_entry = FindIp(ip);
  if (ip_entry == nullptr) return kPass;
  const IpRecord& ip_record = ip_entry->record;
  log->SetFile(ip_record.log != 0 ? Text(ip_record.log) : nullptr);
  // An IPv6 address too as the server reported it, not by its section's
  // name: the line then matches the server's own logs.
  log->Write("Filtering URL for site IP %s ...", ip);
  if (ip_record.disabled) {
    log->Write("     Filter for that IP is disabled. (exiting)");
    return kPass;
  }

  char host_name[kServerNameSize];
  if (!variables->GetServerVariable("SERVER_NAME", host_name,
                                    sizeof host_name)) {
    return kPass;
  }
  HostKeyCandidates keys(host_name, port, ip_record.wildcard_labels,
                         ip_record.has_patterns);
  log->Write("     Full URL: '%s%s'", keys.exact_key(), record->pszURL);
  const NameTable<HostRecord>::Entry* host = nullptr;
  while (host == nullptr && keys.Next()) {
    host = hosts_.Find(Arena(), ip_entry->name, keys.key());
  }
  if (host == nullptr) {
    log->Write("    Can't find virtual host '%s' in cfg file! (exiting)",
               keys.exact_key());
    return kPass;
  }
  if (!keys.at_exact()) {
    log->Write("     Using virtual host entry '%s'", Text(host->name));
  }

  const RequestPath request(record->pszURL, record->pszPhysicalPath);
  const SchemeSettings settings = {
      Text(ip_record.web_root), Text(ip_record.scheme_b_root),
      Text(host->record.user_dir), host->record.scheme};
  const char* entry_path = request.url_subdir.empty()
                               ? nullptr
                               : EntryPath(*host, request.url_subdir.c_str());
  // Once for the scheme's path and the site's home folder.
  const std::string root_slash = RootSlash(request);
  std::string mapped_path;
  std::string context_root;
  if (entry_path != nullptr) {
    mapped_path.reserve(kPathCapacity);
    mapped_path.append(entry_path).append(request.tail);
    if (site != nullptr) context_root = entry_path;
  } else {
    mapped_path = SchemePath(settings, request, root_slash,
                             site != nullptr ? &context_root : nullptr);
  }
  // Logged once the record holds the path, so that the log never reports a
  // mapping that request memory was lacking for.
  if (!ReplacePhysicalPath(mapped_path, memory, record)) return kPass;
  log->Write("     Mapping to physical path '%s'", mapped_path.c_str());
  if (site != nullptr) {
    DescribeSite(Text(host->name), settings, request, root_slash,
                 std::move(context_root), site);
  }
  return SF_STATUS_REQ_HANDLED_NOTIFICATION;
}

const NameTable<Snapshot::IpRecord>::Entry* Snapshot::FindIp(
    const char* ip) const {
  // Only an IPv6 address holds a ':'; an IPv4 one is its section's name.
  if (std::strchr(ip, ':') == nullptr) return ips_.Find(Arena(), 0, ip);
  char name[kAddressTextSize];
  if (Ipv6SectionName(ip, name) == 0) return nullptr;
  return ips_.Find(Arena(), 0, name);
}

const char* Snapshot::EntryPath(const NameTable<HostRecord>::Entry& host,
                                const char* subdir) const {
  // A folder exception wins over a common path of the same name.
  const NameTable<uint32_t>::Entry* entry = nullptr;
  if (host.record.has_exceptions) {
    entry = exceptions_.Find(Arena(), host.name, subdir);
  }
  if (entry == nullptr && host.record.common_paths != 0) {
    entry = common_paths_.Find(Arena(), host.record.common_paths, subdir);
  }
  return entry != nullptr ? Text(entry->record) : nullptr;
}

}  // namespace mervane
