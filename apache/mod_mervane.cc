// mod_mervane: hosts an ISAPI URL-map filter library (mervane.so) in Apache
// httpd 2.4 and lets it choose the file that serves each request, as IIS
// lets it.
//
//   MervaneLibrary PATH     the library (server config)
//   MervaneRegistry DIR     MERVANE_REGISTRY as the library must see it
//   MervaneDrives DIR       MERVANE_DRIVES as the library must see it
//   MervaneFilter On|Off    map this server's requests (default Off)
//
// The parent only checks, in a short-lived process of its own running as
// Apache's User, that the library loads and that the configuration it will
// read can be read; every child loads the library once after it has become
// that User, so that the configuration is read and the logs are written as
// that user, never as root. The translate_name hook runs after mod_alias, so
// Alias and ScriptAlias URLs are never mapped, and before core's
// DocumentRoot mapping, which it replaces for the requests it maps. A mapped
// request gets its host's document root and the variables that name the
// entry that served it (site_variables.h), which the filter reports through
// the context's ServerSupportFunction.
//
// Thread safety: the library is loaded in child_init, before the child's
// worker threads start; the hook only reads it and the configuration.

#include <cstdint>
#include <string>

#include "host/filter_library.h"
#include "host/site_variables.h"
#include "host/start_up_check.h"
#include "host/url_mapping.h"

// After the project's headers: APR defines TRUE and FALSE as macros.
// clang-format off
#include "httpd.h"
#include "http_config.h"
#include "http_core.h"
#include "http_log.h"
#include "http_protocol.h"
#include "http_request.h"
#include "mod_unixd.h"
#include "apr_strings.h"
// clang-format on

extern "C" module AP_MODULE_DECLARE_DATA mervane_module;
APLOG_USE_MODULE(mervane);

namespace {

using mervane::host::FilterLibrary;
using mervane::host::SiteVariables;
using mervane::host::UrlMapping;
using mervane::host::UrlRequest;

struct ServerConfig {
  int filter = -1;  // -1 when not set in this server
  // Server config only; every virtual host sees the main server's.
  mervane::host::LibrarySettings paths;
};

// The library of this child; null until child_init has loaded it.
FilterLibrary* g_filter = nullptr;

ServerConfig* ConfigOf(server_rec* server) {
  return static_cast<ServerConfig*>(
      ap_get_module_config(server->module_config, &mervane_module));
}

// ---- Directives -------------------------------------------------------------

void* CreateServerConfig(apr_pool_t* pool, server_rec*) {
  return new (apr_pcalloc(pool, sizeof(ServerConfig))) ServerConfig();
}

void* MergeServerConfig(apr_pool_t* pool, void* base_config,
                        void* host_config) {
  const auto* base = static_cast<ServerConfig*>(base_config);
  const auto* host = static_cast<ServerConfig*>(host_config);
  auto* merged = new (apr_pcalloc(pool, sizeof(ServerConfig))) ServerConfig();
  *merged = *base;
  if (host->filter != -1) merged->filter = host->filter;
  return merged;
}

// A directive's slot: the offset of its ServerConfig field, carried in
// cmd->info as the core's slot handlers carry theirs.
void* Slot(long offset) { return reinterpret_cast<void*>(offset); }

template <typename Field>
Field* SlotOf(cmd_parms* cmd) {
  char* config = reinterpret_cast<char*>(ConfigOf(cmd->server));
  return reinterpret_cast<Field*>(config +
                                  reinterpret_cast<intptr_t>(cmd->info));
}

// Sets a path slot of the main server, relative to ServerRoot.
const char* SetServerPathSlot(cmd_parms* cmd, void*, const char* path) {
  if (const char* error = ap_check_cmd_context(cmd, GLOBAL_ONLY)) {
    return error;
  }
  const char* resolved = ap_server_root_relative(cmd->pool, path);
  if (resolved == nullptr) {
    return apr_pstrcat(cmd->pool, cmd->cmd->name, " ", path,
                       ": not a valid path", nullptr);
  }
  *SlotOf<const char*>(cmd) = resolved;
  return nullptr;
}

const char* SetServerFlagSlot(cmd_parms* cmd, void*, int on) {
  *SlotOf<int>(cmd) = on ? 1 : 0;
  return nullptr;
}

// command_rec holds its handler as `const char* (*)()` in C++; the detour
// through void (*)() is the conversion GCC accepts without a warning.
template <typename Handler>
cmd_func Handle(Handler handler) {
  return reinterpret_cast<cmd_func>(reinterpret_cast<void (*)()>(handler));
}

const command_rec kDirectives[] = {
    AP_INIT_TAKE1("MervaneLibrary", Handle(SetServerPathSlot),
                  Slot(APR_OFFSETOF(ServerConfig, paths.library)), RSRC_CONF,
                  "the ISAPI filter library to host"),
    AP_INIT_TAKE1("MervaneRegistry", Handle(SetServerPathSlot),
                  Slot(APR_OFFSETOF(ServerConfig, paths.registry)), RSRC_CONF,
                  "the folder the library sees as MERVANE_REGISTRY"),
    AP_INIT_TAKE1("MervaneDrives", Handle(SetServerPathSlot),
                  Slot(APR_OFFSETOF(ServerConfig, paths.drives)), RSRC_CONF,
                  "the folder the library sees as MERVANE_DRIVES"),
    AP_INIT_FLAG("MervaneFilter", Handle(SetServerFlagSlot),
                 Slot(APR_OFFSETOF(ServerConfig, filter)), RSRC_CONF,
                 "On to map this server's requests through the library"),
    {nullptr, nullptr, nullptr, 0, RAW_ARGS, nullptr}};

// ---- Start-up ---------------------------------------------------------------

// Why the module cannot start as configured, naming the directive to fix;
// the empty text when it can.
std::string StartUpError(server_rec* main_server) {
  static const mervane::host::DirectiveNames kNames = {
      "MervaneFilter On", "MervaneLibrary", "MervaneRegistry", "MervaneDrives",
      "Apache's User"};
  bool mapping = false;
  for (server_rec* s = main_server; s != nullptr; s = s->next) {
    mapping = mapping || ConfigOf(s)->filter == 1;
  }
  return mervane::host::StartUpError(
      ConfigOf(main_server)->paths, mapping, kNames,
      [] { return ap_unixd_setup_child() == 0; });
}

int CheckLibrary(apr_pool_t*, apr_pool_t*, apr_pool_t*, server_rec* server) {
  const std::string error = StartUpError(server);
  if (error.empty()) return OK;
  ap_log_error(APLOG_MARK, APLOG_STARTUP | APLOG_CRIT, 0, server,
               "mod_mervane: %s", error.c_str());
  return HTTP_INTERNAL_SERVER_ERROR;
}

void LoadLibraryInChild(apr_pool_t*, server_rec* server) {
  const ServerConfig& config = *ConfigOf(server);
  if (config.paths.library == nullptr) return;
  mervane::host::ExportLibraryEnvironment(config.paths);
  auto* library =
      new FilterLibrary();  // never deleted, as it is never unloaded
  const std::string error = library->Load(config.paths.library);
  if (!error.empty()) {
    ap_log_error(APLOG_MARK, APLOG_ERR, 0, server, "MervaneLibrary %s: %s",
                 config.paths.library, error.c_str());
    return;
  }
  const HTTP_FILTER_VERSION& version = library->version();
  ap_log_error(APLOG_MARK, APLOG_INFO, 0, server,
               "loaded %s: \"%s\", filter version %u.%u", config.paths.library,
               version.lpszFilterDesc, version.dwFilterVersion >> 16,
               version.dwFilterVersion & 0xffff);
  g_filter = library;
}

// ---- Mapping ----------------------------------------------------------------

// Gives the mapped request its host's document root and context and the
// variables that name its entry.
void SetSiteVariables(request_rec* r, const SiteVariables& site) {
  ap_set_document_root(r, apr_pstrdup(r->pool, site.document_root.c_str()));
  if (!site.context_prefix.empty()) {
    ap_set_context_info(
        r, apr_pstrdup(r->pool, site.context_prefix.c_str()),
        apr_pstrdup(r->pool, site.context_document_root.c_str()));
  }
  apr_table_set(r->subprocess_env, "MERVANE_ENTRY", site.entry.c_str());
  if (!site.user_dir.empty()) {
    apr_table_set(r->subprocess_env, "MERVANE_USERDIR", site.user_dir.c_str());
  }
}

// The filter's answer for the request as a hook result; sets r->filename
// when it mapped the request.
int MapThroughFilter(request_rec* r) {
  const ServerConfig& config = *ConfigOf(r->server);
  UrlRequest request;
  request.uri = r->uri;
  request.local_ip = r->connection->local_ip;
  request.local_port = r->connection->local_addr->port;
  request.has_host_name = r->hostname != nullptr;
  if (request.has_host_name) request.host_name = r->hostname;
  request.document_root = ap_document_root(r);
  if (config.paths.drives != nullptr) request.drives = config.paths.drives;
  request.trace = APLOGrdebug(r);
  UrlMapping mapping;
  const UrlMapping::Outcome outcome = mapping.Map(*g_filter, request, false);
  if (!mapping.trace().empty()) {
    ap_log_rerror(APLOG_MARK, APLOG_DEBUG, 0, r, "%s", mapping.trace().c_str());
  }
  switch (outcome) {
    case UrlMapping::Outcome::kMapped:
      break;
    case UrlMapping::Outcome::kBadUrl:
      ap_log_rerror(APLOG_MARK, APLOG_INFO, 0, r, "%s",
                    mapping.reason().c_str());
      return HTTP_BAD_REQUEST;
    case UrlMapping::Outcome::kBadPath:
      ap_log_rerror(APLOG_MARK, APLOG_ERR, 0, r, "%s",
                    mapping.reason().c_str());
      return HTTP_BAD_REQUEST;
    case UrlMapping::Outcome::kFailed:
      ap_log_rerror(APLOG_MARK, APLOG_ERR, 0, r, "%s",
                    mapping.reason().c_str());
      return HTTP_INTERNAL_SERVER_ERROR;
    default:  // kUnmapped; Apache's threads never defer
      return DECLINED;
  }
  const std::string& native = mapping.native_path();
  r->filename = apr_pstrmemdup(r->pool, native.data(), native.size());
  if (mapping.site() != nullptr) SetSiteVariables(r, *mapping.site());
  return OK;
}

int MapRequest(request_rec* r) {
  const ServerConfig& config = *ConfigOf(r->server);
  if (config.filter != 1 || r->uri == nullptr || r->uri[0] != '/') {
    return DECLINED;
  }
  if (g_filter == nullptr) {
    ap_log_rerror(APLOG_MARK, APLOG_ERR, 0, r, "no filter library loaded");
    return HTTP_INTERNAL_SERVER_ERROR;
  }
  try {
    return MapThroughFilter(r);
  } catch (...) {  // out of memory: no exception may reach Apache's C code
    return HTTP_INTERNAL_SERVER_ERROR;
  }
}

void RegisterHooks(apr_pool_t*) {
  static const char* const kAfter[] = {"mod_alias.c", nullptr};
  ap_hook_post_config(CheckLibrary, nullptr, nullptr, APR_HOOK_MIDDLE);
  ap_hook_child_init(LoadLibraryInChild, nullptr, nullptr, APR_HOOK_MIDDLE);
  ap_hook_translate_name(MapRequest, kAfter, nullptr, APR_HOOK_MIDDLE);
}

}  // namespace

module AP_MODULE_DECLARE_DATA mervane_module = {
    STANDARD20_MODULE_STUFF,
    nullptr,             // per-directory configuration
    nullptr,             // merge per-directory configuration
    CreateServerConfig,  // per-server configuration
    MergeServerConfig,   // merge per-server configuration
    kDirectives,
    RegisterHooks,
    AP_MODULE_FLAG_NONE,
};
