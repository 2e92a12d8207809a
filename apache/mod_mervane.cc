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

#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "host/configuration_access.h"
#include "host/filter_library.h"
#include "host/server_path.h"
#include "host/server_variables.h"
#include "host/site_variables.h"
#include "platform/platform.h"

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
using mervane::host::RequestVariables;
using mervane::host::SiteVariables;

struct ServerConfig {
  int filter = -1;  // -1 when not set in this server
  // Server config only; every virtual host sees the main server's.
  const char* library = nullptr;
  const char* registry = nullptr;
  const char* drives = nullptr;
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
                  Slot(APR_OFFSETOF(ServerConfig, library)), RSRC_CONF,
                  "the ISAPI filter library to host"),
    AP_INIT_TAKE1("MervaneRegistry", Handle(SetServerPathSlot),
                  Slot(APR_OFFSETOF(ServerConfig, registry)), RSRC_CONF,
                  "the folder the library sees as MERVANE_REGISTRY"),
    AP_INIT_TAKE1("MervaneDrives", Handle(SetServerPathSlot),
                  Slot(APR_OFFSETOF(ServerConfig, drives)), RSRC_CONF,
                  "the folder the library sees as MERVANE_DRIVES"),
    AP_INIT_FLAG("MervaneFilter", Handle(SetServerFlagSlot),
                 Slot(APR_OFFSETOF(ServerConfig, filter)), RSRC_CONF,
                 "On to map this server's requests through the library"),
    {nullptr, nullptr, nullptr, 0, RAW_ARGS, nullptr}};

// ---- Start-up ---------------------------------------------------------------

// The library reads both variables while it loads; Apache's SetEnv never
// reaches the process environment.
void ExportLibraryEnvironment(const ServerConfig& config) {
  setenv("MERVANE_REGISTRY", config.registry, 1);
  if (config.drives != nullptr) setenv("MERVANE_DRIVES", config.drives, 1);
}

// What Apache's User meets when it loads the library and reads the
// configuration: why the module cannot start, naming the directive to fix,
// or the empty text. Runs in the checking process, which becomes that User.
std::string CheckAsUser(const ServerConfig& config) {
  const std::string library = std::string("MervaneLibrary ") + config.library;
  if (ap_unixd_setup_child() != 0) {
    return library + ": it cannot be loaded as Apache's User";
  }
  ExportLibraryEnvironment(config);
  FilterLibrary filter;
  std::string error = filter.Load(config.library);
  if (!error.empty()) return library + ": " + error;
  error = mervane::host::ConfigurationReadError();
  if (!error.empty()) {
    return std::string("MervaneRegistry ") + config.registry +
           ": Apache's User " + error;
  }
  return error;
}

// The checking process: sends what CheckAsUser found through fd and ends
// without running anything of the parent's at exit.
[[noreturn]] void RunCheck(const ServerConfig& config, int fd) {
  const std::string report = CheckAsUser(config);
  size_t sent = 0;
  while (sent < report.size()) {
    const ssize_t n = write(fd, report.data() + sent, report.size() - sent);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) _exit(1);
    sent += static_cast<size_t>(n);
  }
  _exit(0);
}

// Everything the checking process sent through fd until it closed it.
std::string ReadReport(int fd) {
  std::string report;
  char chunk[256];
  for (;;) {
    const ssize_t n = read(fd, chunk, sizeof chunk);
    if (n > 0) {
      report.append(chunk, static_cast<size_t>(n));
    } else if (n == 0 || errno != EINTR) {
      return report;
    }
  }
}

// True when the process ended by exiting with status 0.
bool ExitedCleanly(pid_t pid) {
  int status = 0;
  pid_t waited;
  do {
    waited = waitpid(pid, &status, 0);
  } while (waited < 0 && errno == EINTR);
  return waited == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string SystemFailure(const char* call) {
  return std::string("the start-up check cannot run: ") + call + ": " +
         std::strerror(errno);
}

// Runs CheckAsUser in a process of its own, so that the parent never holds
// the library (its children must each load it after becoming the User).
// Returns its report, or why it could not be had.
std::string CheckInOwnProcess(const ServerConfig& config) {
  int ends[2];
  if (pipe(ends) != 0) return SystemFailure("pipe");
  const pid_t pid = fork();
  if (pid < 0) {
    const std::string failure = SystemFailure("fork");
    close(ends[0]);
    close(ends[1]);
    return failure;
  }
  if (pid == 0) {
    close(ends[0]);
    RunCheck(config, ends[1]);
  }
  close(ends[1]);
  const std::string report = ReadReport(ends[0]);
  close(ends[0]);
  if (!ExitedCleanly(pid)) {
    return std::string("MervaneLibrary ") + config.library +
           ": it crashed or could not be tried while loading";
  }
  return report;
}

bool IsFolder(const char* path) {
  struct stat st;
  return stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

// Why the module cannot start as configured, naming the directive to fix;
// the empty text when it can.
std::string StartUpError(server_rec* main_server) {
  const ServerConfig& config = *ConfigOf(main_server);
  bool mapping = false;
  for (server_rec* s = main_server; s != nullptr; s = s->next) {
    mapping = mapping || ConfigOf(s)->filter == 1;
  }
  if (config.library == nullptr) {
    return mapping ? "MervaneFilter On needs MervaneLibrary" : "";
  }
  // Without its registry the library loads without complaint and maps
  // nothing: every host would silently get the main site.
  if (config.registry == nullptr || !IsFolder(config.registry)) {
    return "MervaneRegistry must name an existing folder (the library finds "
           "its configuration through it)";
  }
  if (config.drives != nullptr && !IsFolder(config.drives)) {
    return std::string("MervaneDrives ") + config.drives +
           ": not an existing folder";
  }
  return CheckInOwnProcess(config);
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
  if (config.library == nullptr) return;
  ExportLibraryEnvironment(config);
  auto* library =
      new FilterLibrary();  // never deleted, as it is never unloaded
  const std::string error = library->Load(config.library);
  if (!error.empty()) {
    ap_log_error(APLOG_MARK, APLOG_ERR, 0, server, "MervaneLibrary %s: %s",
                 config.library, error.c_str());
    return;
  }
  const HTTP_FILTER_VERSION& version = library->version();
  ap_log_error(APLOG_MARK, APLOG_INFO, 0, server,
               "loaded %s: \"%s\", filter version %u.%u", config.library,
               version.lpszFilterDesc, version.dwFilterVersion >> 16,
               version.dwFilterVersion & 0xffff);
  g_filter = library;
}

// ---- The filter context -----------------------------------------------------

struct RequestState {
  request_rec* request;
  const RequestVariables* variables;
  SiteVariables site;
  bool site_reported = false;
};

BOOL WINAPI GetServerVariable(HTTP_FILTER_CONTEXT* context, LPSTR name,
                              LPVOID buffer, LPDWORD size) {
  const auto* state = static_cast<RequestState*>(context->ServerContext);
  DWORD error = 0;
  const BOOL read = state->variables->Read(name, buffer, size, &error);
  // POSIX has no SetLastError; errno carries the code.
  if (!read) errno = static_cast<int>(error);
  return read;
}

void* WINAPI AllocMem(HTTP_FILTER_CONTEXT* context, DWORD size, DWORD) {
  const auto* state = static_cast<RequestState*>(context->ServerContext);
  return apr_palloc(state->request->pool, size);
}

BOOL WINAPI RefuseHeaders(HTTP_FILTER_CONTEXT*, LPSTR, DWORD) { return FALSE; }
BOOL WINAPI RefuseWrite(HTTP_FILTER_CONTEXT*, LPVOID, LPDWORD, DWORD) {
  return FALSE;
}
// Takes the filter's report of what served the request; refuses every
// other request.
BOOL WINAPI SupportFunction(HTTP_FILTER_CONTEXT* context, SF_REQ_TYPE type,
                            PVOID data, ULONG_PTR size, ULONG_PTR) {
  if (type != mervane::isapi::kReportSite || data == nullptr ||
      size < sizeof(mervane::isapi::SiteReport)) {
    return FALSE;
  }
  auto* state = static_cast<RequestState*>(context->ServerContext);
  try {
    state->site = mervane::host::SiteVariablesOf(
        *static_cast<const mervane::isapi::SiteReport*>(data));
  } catch (...) {  // out of memory: the request keeps the server's root
    return FALSE;
  }
  state->site_reported = true;
  return TRUE;
}

HTTP_FILTER_CONTEXT ContextFor(RequestState* state) {
  HTTP_FILTER_CONTEXT context = {};
  context.cbSize = sizeof context;
  context.Revision = mervane::isapi::kFilterRevision;
  context.ServerContext = state;
  context.GetServerVariable = GetServerVariable;
  context.AddResponseHeaders = RefuseHeaders;
  context.WriteClient = RefuseWrite;
  context.AllocMem = AllocMem;
  context.ServerSupportFunction = SupportFunction;
  return context;
}

// ---- Mapping ----------------------------------------------------------------

const char* StatusName(DWORD status) {
  if (status == SF_STATUS_REQ_HANDLED_NOTIFICATION) return "HANDLED";
  if (status == SF_STATUS_REQ_NEXT_NOTIFICATION) return "NEXT";
  return "other";
}

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
// when it mapped the request. A URL with a backslash never reaches it.
int MapThroughFilter(request_rec* r) {
  if (mervane::host::HoldsBackslash(r->uri)) {
    ap_log_rerror(APLOG_MARK, APLOG_INFO, 0, r,
                  "refused: URL %s holds a backslash", r->uri);
    return HTTP_BAD_REQUEST;
  }
  const ServerConfig& config = *ConfigOf(r->server);
  const std::string server_path = mervane::host::ServerPath(
      ap_document_root(r), r->uri, config.drives ? config.drives : "");
  const DWORD buffer_size = std::max<DWORD>(
      mervane::isapi::kMaxPath, static_cast<DWORD>(server_path.size() + 1));
  char* buffer = static_cast<char*>(apr_palloc(r->pool, buffer_size));
  std::memcpy(buffer, server_path.c_str(), server_path.size() + 1);

  const RequestVariables variables(
      r->connection->local_ip, r->connection->local_addr->port, r->hostname);
  RequestState state = {r, &variables, {}};
  HTTP_FILTER_CONTEXT context = ContextFor(&state);
  HTTP_FILTER_URL_MAP record = {r->uri, buffer, buffer_size};
  const DWORD status = g_filter->MapUrl(&context, &record);

  const bool mapped = status == SF_STATUS_REQ_HANDLED_NOTIFICATION ||
                      (status == SF_STATUS_REQ_NEXT_NOTIFICATION &&
                       server_path != record.pszPhysicalPath);
  ap_log_rerror(APLOG_MARK, APLOG_DEBUG, 0, r,
                "host %s, URL %s, server path %s, status %s, mapped path %s",
                r->hostname ? r->hostname : "-", r->uri, server_path.c_str(),
                StatusName(status), mapped ? record.pszPhysicalPath : "-");
  if (status != SF_STATUS_REQ_HANDLED_NOTIFICATION &&
      status != SF_STATUS_REQ_NEXT_NOTIFICATION) {
    ap_log_rerror(APLOG_MARK, APLOG_ERR, 0, r,
                  "the filter answered %#x for URL %s", status, r->uri);
    return HTTP_INTERNAL_SERVER_ERROR;
  }
  if (!mapped) return DECLINED;
  const std::string native =
      mervane::platform::NativePath(record.pszPhysicalPath);
  if (mervane::host::HoldsParentSegment(native)) {
    ap_log_rerror(APLOG_MARK, APLOG_ERR, 0, r,
                  "refused: the filter mapped URL %s to %s", r->uri,
                  native.c_str());
    return HTTP_BAD_REQUEST;
  }
  r->filename = apr_pstrmemdup(r->pool, native.data(), native.size());
  if (state.site_reported) SetSiteVariables(r, state.site);
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
