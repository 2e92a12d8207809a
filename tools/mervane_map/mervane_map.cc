// mervane-map: runs URL mappings through the built filter library, loaded
// and driven as the web server does, and prints what the filter did.
//
//   mervane-map [--library PATH] IP PORT HOST URL PHYSICAL_PATH
//   mervane-map [--library PATH] --requests FILE
//   mervane-map --compile [FILE]
//
// A requests file holds one request a line in the order of the command's
// arguments, separated by blanks; the physical path is the rest of the line.
// Blank lines and lines starting with '#' are skipped. The configuration is
// the one the registry names, as for the server.
//
// --compile writes the compiled index beside FILE (by default the file the
// registry names) exactly as a save of the administration program does,
// under the configuration's lock: after a hand edit, so that the servers
// map the new text without parsing it.
//
// A request served by a wildcard or default entry gets a second line naming
// that entry. The filter's exports cannot say which entry served, so this
// reads the same configuration through the configuration store and tries
// the request's keys in the filter's own order (HostKeyCandidates).

#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "config/config_file_lock.h"
#include "config/config_schema.h"
#include "config/config_section.h"
#include "config/host_key_candidates.h"
#include "config/host_pattern.h"
#include "config/ip_address.h"
#include "config/registry_key.h"
#include "filter/filter_host.h"
#include "filter/index_file.h"
#include "platform/isapi.h"

namespace mervane {
namespace {

constexpr char kUsage[] =
    "usage: mervane-map [--library PATH] IP PORT HOST URL PHYSICAL_PATH\n"
    "       mervane-map [--library PATH] --requests FILE\n"
    "       mervane-map --compile [FILE]\n"
    "A request served by a wildcard or default entry gets a second line\n"
    "naming it, found by the filter's order of keys in the configuration\n"
    "that the registry names.\n";

const char* StatusName(DWORD status) {
  switch (status) {
    case SF_STATUS_REQ_HANDLED_NOTIFICATION:
      return "HANDLED";
    case SF_STATUS_REQ_NEXT_NOTIFICATION:
      return "NEXT";
    default:
      return "OTHER";
  }
}

// Reads "IP PORT HOST URL PHYSICAL_PATH"; false when a field is missing.
bool ParseRequest(const std::string& line, FilterHost::Request* request) {
  std::istringstream fields(line);
  fields >> request->local_addr >> request->server_port >>
      request->server_name >> request->url >> std::ws;
  std::getline(fields, request->physical_path);
  return !request->physical_path.empty();
}

// The requests of a requests file; false when it cannot be read or a line
// is incomplete (reported on stderr).
bool ReadRequests(const char* path, std::vector<FilterHost::Request>* out) {
  std::ifstream file(path);
  if (!file) {
    std::fprintf(stderr, "mervane-map: cannot read %s\n", path);
    return false;
  }
  std::string line;
  for (int number = 1; std::getline(file, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find_first_not_of(" \t") == std::string::npos || line[0] == '#') {
      continue;
    }
    FilterHost::Request request;
    if (!ParseRequest(line, &request)) {
      std::fprintf(stderr, "mervane-map: %s:%d: incomplete request\n", path,
                   number);
      return false;
    }
    out->push_back(request);
  }
  return true;
}

void PrintFilterVersion(const FilterHost& host) {
  HTTP_FILTER_VERSION version = {};
  const BOOL accepted = host.GetFilterVersion(&version);
  std::printf("Filter '%s', version 0x%08X, flags 0x%X%s\n\n",
              version.lpszFilterDesc,
              static_cast<unsigned>(version.dwFilterVersion),
              static_cast<unsigned>(version.dwFlags),
              accepted ? "" : " (refused to load)");
}

// The configuration the registry names, or null (reported on stderr) when
// it cannot be loaded.
std::unique_ptr<ConfigFile> LoadConfiguration() {
  const std::unique_ptr<char[]> path = ReadConfigurationPath();
  std::unique_ptr<ConfigFile> file;
  if (path != nullptr) file = std::make_unique<ConfigFile>(path.get());
  if (file == nullptr || !file->Load()) {
    std::fputs(
        "mervane-map: cannot read the configuration; wildcard and default "
        "entries are not named\n",
        stderr);
    return nullptr;
  }
  return file;
}

// The name of the wildcard or default entry of root that serves request;
// null when its exact entry, or none, does.
const char* PatternEntry(const ConfigSection& root,
                         const FilterHost::Request& request) {
  const ConfigSection* hosts =
      root.GetSection(AddressSectionName(request.local_addr).c_str())
          ->GetSection(schema::kVirtualHosts);
  HostKeyCandidates keys(request.server_name.c_str(),
                         request.server_port.c_str());
  while (keys.Next()) {
    const ConfigSection* entry = hosts->GetSection(keys.key());
    if (!entry->IsNull() &&
        HostPatternOf(entry->Name()) != HostPattern::kInvalid) {
      return keys.at_exact() ? nullptr : entry->Name();
    }
  }
  return nullptr;
}

void PrintMapping(const FilterHost& host, const ConfigSection* configuration,
                  const FilterHost::Request& request) {
  const FilterHost::Result result = host.MapUrl(request);
  const std::string site = request.server_name + ":" + request.server_port;
  std::printf("%-8s %-12s %-18s %s\n", StatusName(result.status), site.c_str(),
              request.url.c_str(), result.physical_path.c_str());
  if (result.status != SF_STATUS_REQ_HANDLED_NOTIFICATION ||
      configuration == nullptr) {
    return;
  }
  const char* entry = PatternEntry(*configuration, request);
  if (entry != nullptr) {
    std::printf("%-8s using virtual host entry '%s'\n", "", entry);
  }
}

// Writes the index of the file (the registry's when null) under the
// configuration's lock.
int Compile(const char* file) {
  std::unique_ptr<char[]> named;
  if (file == nullptr) {
    named = ReadConfigurationPath();
    file = named.get();
  }
  if (file == nullptr) {
    std::fputs("mervane-map: the registry names no configuration file\n",
               stderr);
    return 1;
  }
  const ConfigFileLock lock(file);
  std::string problem;
  if (!lock.Held()) {
    problem = lock.Failure();
  } else if (CompileIndex(file, &problem)) {
    std::printf("%s\n", IndexPathOf(file).c_str());
    return 0;
  }
  std::fprintf(stderr, "mervane-map: %s\n", problem.c_str());
  return 1;
}

int Run(int argc, char** argv) {
  if (argc >= 2 && argc <= 3 && std::strcmp(argv[1], "--compile") == 0) {
    return Compile(argc == 3 ? argv[2] : nullptr);
  }
  const char* library = MERVANE_DEFAULT_FILTER_LIBRARY;
  int next = 1;
  if (argc > next + 1 && std::strcmp(argv[next], "--library") == 0) {
    library = argv[next + 1];
    next += 2;
  }
  std::vector<FilterHost::Request> requests;
  if (argc == next + 2 && std::strcmp(argv[next], "--requests") == 0) {
    if (!ReadRequests(argv[next + 1], &requests)) return 1;
  } else if (argc == next + 5) {
    FilterHost::Request request;
    request.local_addr = argv[next];
    request.server_port = argv[next + 1];
    request.server_name = argv[next + 2];
    request.url = argv[next + 3];
    request.physical_path = argv[next + 4];
    requests.push_back(request);
  } else {
    std::fputs(kUsage, stderr);
    return 2;
  }

  const FilterHost host(library);
  if (!host.IsLoaded()) {
    std::fprintf(stderr, "mervane-map: cannot load the filter %s\n", library);
    return 1;
  }
  const std::unique_ptr<ConfigFile> configuration = LoadConfiguration();
  PrintFilterVersion(host);
  std::printf("%-8s %-12s %-18s %s\n", "STATUS", "HOST:PORT", "URL",
              "PHYSICAL PATH");
  for (const FilterHost::Request& request : requests) {
    PrintMapping(host, configuration.get(), request);
  }
  return 0;
}

}  // namespace
}  // namespace mervane

int main(int argc, char** argv) { return mervane::Run(argc, argv); }
