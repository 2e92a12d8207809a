// Snapshot::MapUrl: the mapping of one request.

#include "filter/snapshot.h"

#include <cstring>
#include <string>
#include <string_view>
#include <utility>

#include "config/config_schema.h"
#include "config/config_section.h"
#include "filter/mapping_log.h"
#include "filter/path_text.h"

namespace mervane {
namespace {

// Buffer sizes of the three server variables, terminator included.
constexpr uint32_t kLocalAddrSize = 18;
constexpr uint32_t kServerPortSize = 6;
constexpr uint32_t kServerNameSize = 256;
// A longer HostKey cannot name a section of the configuration file.
constexpr size_t kMaxHostKeyLength = 255;

// Room for any path that Windows names without its long-path prefix: the
// mapped path is built in one allocation as a rule.
constexpr size_t kPathCapacity = 260;

// The text of the setting array; the empty text when it holds none.
const char* TextOf(const ConfigArray& array) {
  const char* text = array.FirstString();
  return text != nullptr ? text : "";
}

// The text of the string setting `key` of section; the empty text when the
// setting is missing.
const char* SettingText(const ConfigSection& section, const char* key) {
  return TextOf(*section.GetArray(key));
}

// The log file that ip_section names ("Log" of its "MAIN"); null when it
// names none, also for the null section.
const char* LogPathOf(const ConfigSection& ip_section) {
  const char* log_path =
      SettingText(*ip_section.GetSection(schema::kMain), schema::kLog);
  return *log_path != '\0' ? log_path : nullptr;
}

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

// The path for a host of "SchemeB" below the base directory `path`: the
// host's root files live in base + schemeBRoot + "\" + userDir, each
// top-level folder of the site holds one folder per host.
std::string SchemeBPath(std::string path, std::string_view user_dir,
                        const ConfigSection& main, const RequestPath& request) {
  const std::string_view scheme_b_root =
      SettingText(main, schema::kSchemeBRootDir);
  std::string probe;
  probe.reserve(kPathCapacity);
  probe.append(path).append(scheme_b_root).append("\\").append(user_dir);
  probe.append("\\").append(request.url_subdir);
  const bool is_file = IsExistingFile(probe);

  if (!request.url_subdir.empty() && !is_file) {
    path.append(request.url_subdir);
  } else {
    path.append(scheme_b_root);
  }
  path.append("\\").append(user_dir);
  if (!request.tail.empty()) {
    path.append(request.tail);
  } else if (is_file) {
    path.append("\\").append(request.url_subdir);
  }
  return path;
}

// The path by the host's scheme over the base directory: WebRoot, or the
// server's site root; none when UserDir is a full path.
std::string SchemePath(const ConfigSection& main, const ConfigSection& host,
                       std::string_view scheme, const RequestPath& request) {
  std::string root_slash(SiteRoot(request.url_text, request.physical_path));
  root_slash += '\\';
  std::string base;
  base.reserve(kPathCapacity);
  base.append(SettingText(main, schema::kWebRoot));
  if (base.empty()) {
    base = root_slash;
  } else if (base.back() != '\\') {
    base += '\\';
  }
  const std::string_view user_dir = SettingText(host, schema::kUserDir);
  if (user_dir.find(':') != std::string_view::npos) base.clear();

  // Compared exactly: "schemea" is no scheme and maps to the base itself.
  if (scheme == schema::kSchemeA) {
    base.append(user_dir).append("\\");
    base.append(TextAfter(request.physical_path, root_slash));
    return base;
  }
  if (scheme == schema::kSchemeB) {
    return SchemeBPath(std::move(base), user_dir, main, request);
  }
  return base;
}

// The physical path for a request of a configured host: a folder exception
// of the host, else a common path of the IP for the host's scheme, else the
// host's scheme.
std::string MappedPathFor(const ConfigSection& main, const ConfigSection& host,
                          const RequestPath& request) {
  const char* scheme = SettingText(host, schema::kMapScheme);
  if (!request.url_subdir.empty()) {
    const char* subdir = request.url_subdir.c_str();
    const ConfigArray* entry =
        host.GetSection(schema::kFolderExceptions)->GetArray(subdir);
    if (entry->IsNull()) {
      entry = main.GetSection(schema::kCommonPaths)
                  ->GetSection(scheme)
                  ->GetArray(subdir);
    }
    if (!entry->IsNull()) {
      std::string path;
      path.reserve(kPathCapacity);
      path.append(TextOf(*entry)).append(request.tail);
      return path;
    }
  }
  return SchemePath(main, host, scheme, request);
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
                       HTTP_FILTER_URL_MAP* record, MappingLog* log) const {
  constexpr DWORD kPass = SF_STATUS_REQ_NEXT_NOTIFICATION;

  char ip[kLocalAddrSize];
  char port[kServerPortSize];
  if (!variables->GetServerVariable("LOCAL_ADDR", ip, sizeof ip) ||
      !variables->GetServerVariable("SERVER_PORT", port, sizeof port)) {
    return kPass;
  }
  const ConfigSection* ip_section = root_->GetSection(ip);
  log->SetFile(LogPathOf(*ip_section));
  log->Write("Filtering URL for site IP %s ...", ip);
  if (ip_section->IsNull()) return kPass;
  const ConfigSection* main = ip_section->GetSection(schema::kMain);
  if (main->GetArray(schema::kDisable)->FirstInt() == 1) {
    log->Write("     Filter for that IP is disabled. (exiting)");
    return kPass;
  }

  char host_name[kServerNameSize];
  if (!variables->GetServerVariable("SERVER_NAME", host_name,
                                    sizeof host_name)) {
    return kPass;
  }
  const std::string host_key = schema::HostKey(host_name, port);
  if (host_key.size() > kMaxHostKeyLength) return kPass;
  log->Write("     Full URL: '%s%s'", host_key.c_str(), record->pszURL);
  const ConfigSection* host = ip_section->GetSection(schema::kVirtualHosts)
                                  ->GetSection(host_key.c_str());
  if (host->IsNull()) {
    log->Write("    Can't find virtual host '%s' in cfg file! (exiting)",
               host_key.c_str());
    return kPass;
  }

  const RequestPath request(record->pszURL, record->pszPhysicalPath);
  const std::string mapped_path = MappedPathFor(*main, *host, request);
  // Logged once the record holds the path, so that the log never reports a
  // mapping that request memory was lacking for.
  if (!ReplacePhysicalPath(mapped_path, memory, record)) return kPass;
  log->Write("     Mapping to physical path '%s'", mapped_path.c_str());
  return SF_STATUS_REQ_HANDLED_NOTIFICATION;
}

}  // namespace mervane
