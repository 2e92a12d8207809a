// mod_mervane: hosts an ISAPI URL-map filter library (mervane.so) in Apache
// httpd 2.4 and lets it choose the file that serves each request, as IIS
// lets it.
//
//   MervaneLibrary PATH     the library (server config)
//   MervaneRegistry DIR     MERVANE_REGISTRY as the library must see it
//   MervaneDrives DIR       MERVANE_DRIVES as the library must see it
//   MervaneFilter On|Off    map this server's requests (default Off)
//
// The parent only checks the library, in a short-lived process of its own
// running as Apache's User; every child loads it once after it has become
// that User, so that the configuration is read and the logs are written as
// that user, never as root. The translate_name hook runs after mod_alias, so
// Alias and ScriptAlias URLs are never mapped, and before core's
// DocumentRoot mapping, which it replaces for the requests it maps.
//
// Thread safety: the library is loaded in child_init, before the child's
// worker threads start; the hook only reads it and the configuration.

#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "apache/filter_library.h"
#include "apache/server_path.h"
#include "apache/server_variables.h"
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

using mervane::apache::FilterLibrary;
using mervane::apache::RequestVariables;

// IIS's MAX_PATH: the smallest physical path buffer the filter is given.
constexpr DWORD kMinPathBuffer = 260;

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

// The field of the server's configuration that a directive sets.
const char** GlobalField(cmd_parms* cmd) {
  ServerConfig* config = ConfigOf(cmd->server);
  const char* name = cmd->cmd->name;
  if (std::strcmp(name, "MervaneLibrary") == 0) return &config->library;
  if (std::strcmp(name, "MervaneRegistry") == 0) return &config->registry;
  return &config->drives;
}

const char* SetGlobalPath(cmd_parms* cmd, void*, const char* path) {
  if (const char* error = ap_check_cmd_context(cmd, GLOBAL_ONLY)) {
    return error;
  }
  *GlobalField(cmd) = ap_server_root_relative(cmd->pool, path);
  return nullptr;
}

const char* SetFilter(cmd_parms* cmd, void*, int on) {
  ConfigOf(cmd->server)->filter = on ? 1 : 0;
  return nullptr;
}

// command_rec holds its handler as `const char* (*)()` in C++; the detour
// through void (*)() is the conversion GCC accepts without a warning.
template <typename Handler>
cmd_func Handle(Handler handler) {
  return reinterpret_cast<cmd_func>(reinterpret_cast<void (*)()>(handler));
}

const command_rec kDirectives[] = {
    AP_INIT_TAKE1("MervaneLibrary", Handle(SetGlobalPath), nullptr, RSRC_CONF,
                  "the ISAPI filter library to host"),
    AP_INIT_TAKE1("MervaneRegistry", Handle(SetGlobalPath), nullptr, RSRC_CONF,
                  "the folder the library sees as MERVANE_REGISTRY"),
    AP_INIT_TAKE1("MervaneDrives", Handle(SetGlobalPath), nullptr, RSRC_CONF,
                  "the folder the library sees as MERVANE_DRIVES"),
    AP_INIT_FLAG("MervaneFilter", Handle(SetFilter), nullptr, RSRC_CONF,
                 "On to map this server's requests through the library"),
    {nullptr, nullptr, nullptr, 0, RAW_ARGS, nullptr}};

// ---- Start-up ---------------------------------------------------------------

// The library reads both variables while it loads; Apache's SetEnv never
// reaches the process environment.
void ExportLibraryEnvironment(const ServerConfig& config) {
  setenv("MERVANE_REGISTRY", config.registry, 1);
  if (config.drives != nullptr) setenv("MERVANE_DRIVES", config.drives, 1);
}

// Loads the library in a process of its own that runs as Apache's User, so
// that the parent never holds it (its children must each load it after
// becoming that user). Returns why it cannot be hosted, or the empty text.
std::string TryLoadAsChild(const ServerConfig& config) {
  int pipe_ends[2];
  if (pipe(pipe_ends) != 0) return std::strerror(errno);
  const pid_t pid = fork();
  if (pid == 0) {
    close(pipe_ends[0]);
    std::string error = "it cannot be loaded as Apache's User";
    if (ap_unixd_setup_child() == 0) {
      ExportLibraryEnvironment(config);
      FilterLibrary library;
      error = library.Load(config.library);
    }
    ssize_t written = write(pipe_ends[1], error.data(), error.size());
    _exit(written == static_cast<ssize_t>(error.size()) ? 0 : 1);
  }
  close(pipe_ends[1]);
  std::string error;
  char chunk[256];
  for (ssize_t n; (n = read(pipe_ends[0], chunk, sizeof chunk)) > 0;) {
    error.append(chunk, n);
  }
  close(pipe_ends[0]);
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) ||
      WEXITSTATUS(status) != 0) {
    return "it crashed or could not be tried while loading";
  }
  return error;
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
  const std::string error = TryLoadAsChild(config);
  if (error.empty()) return error;
  return std::string("MervaneLibrary ") + config.library + ": " + error;
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
BOOL WINAPI RefuseSupport(HTTP_FILTER_CONTEXT*, SF_REQ_TYPE, PVOID, ULONG_PTR,
                          ULONG_PTR) {
  return FALSE;
}

HTTP_FILTER_CONTEXT ContextFor(RequestState* state) {
  HTTP_FILTER_CONTEXT context = {};
  context.cbSize = sizeof context;
  context.Revision = 0x00040000;
  context.ServerContext = state;
  context.GetServerVariable = GetServerVariable;
  context.AddResponseHeaders = RefuseHeaders;
  context.WriteClient = RefuseWrite;
  context.AllocMem = AllocMem;
  context.ServerSupportFunction = RefuseSupport;
  return context;
}

// ---- Mapping ----------------------------------------------------------------

const char* StatusName(DWORD status) {
  if (status == SF_STATUS_REQ_HANDLED_NOTIFICATION) return "HANDLED";
  if (status == SF_STATUS_REQ_NEXT_NOTIFICATION) return "NEXT";
  return "other";
}

// The filter's answer for the request as a hook result; sets r->filename
// when it mapped the request. A URL with a backslash never reaches it.
int MapThroughFilter(request_rec* r) {
  if (mervane::apache::HoldsBackslash(r->uri)) {
    ap_log_rerror(APLOG_MARK, APLOG_INFO, 0, r,
                  "refused: URL %s holds a backslash", r->uri);
    return HTTP_BAD_REQUEST;
  }
  const ServerConfig& config = *ConfigOf(r->server);
  const std::string server_path = mervane::apache::ServerPath(
      ap_document_root(r), r->uri, config.drives ? config.drives : "");
  const DWORD buffer_size = std::max<DWORD>(
      kMinPathBuffer, static_cast<DWORD>(server_path.size() + 1));
  char* buffer = static_cast<char*>(apr_palloc(r->pool, buffer_size));
  std::memcpy(buffer, server_path.c_str(), server_path.size() + 1);

  const RequestVariables variables(
      r->connection->local_ip, r->connection->local_addr->port, r->hostname);
  RequestState state = {r, &variables};
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
  if (mervane::apache::HoldsParentSegment(native)) {
    ap_log_rerror(APLOG_MARK, APLOG_ERR, 0, r,
                  "refused: the filter mapped URL %s to %s", r->uri,
                  native.c_str());
    return HTTP_BAD_REQUEST;
  }
  r->filename = apr_pstrmemdup(r->pool, native.data(), native.size());
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
