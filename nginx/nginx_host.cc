#include "nginx/nginx_host.h"

#include <grp.h>
#include <netinet/in.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

#include "host/filter_library.h"
#include "host/start_up_check.h"
#include "host/url_mapping.h"
#include "nginx/local_address.h"
#include "nginx/location_root.h"

struct mervane_job_s {
  mervane::host::UrlRequest request;
  mervane::host::UrlMapping mapping;
  mervane::nginx::LocationRoot location;
};

namespace {

using mervane::host::UrlMapping;

// The library of this worker; null until mervane_load has loaded it.
mervane::host::FilterLibrary* g_filter = nullptr;

// What only the worker's event loop uses, made with g_filter.
struct Loop {
  mervane_job_t job;
  mervane::nginx::LocalAddresses addresses;
};
Loop* g_loop = nullptr;

const mervane::host::DirectiveNames kNames = {"mervane on", "mervane_library",
                                              "mervane_registry",
                                              "mervane_drives", "nginx's user"};

mervane::host::LibrarySettings SettingsOf(const mervane_settings_t& settings) {
  mervane::host::LibrarySettings host;
  host.library = settings.library;
  host.registry = settings.registry;
  host.drives = settings.drives;
  return host;
}

void CopyOut(const std::string& text, char* buffer, size_t size) {
  if (size == 0) return;
  const size_t n = std::min(text.size(), size - 1);
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
}

// The worker's own change of user, as nginx makes it.
bool BecomeUser(const char* user_name, unsigned uid, unsigned gid) {
  return setgid(gid) == 0 && initgroups(user_name, gid) == 0 &&
         setuid(uid) == 0;
}

unsigned PortOf(const struct sockaddr* local) {
  if (local->sa_family == AF_INET6) {
    return ntohs(reinterpret_cast<const sockaddr_in6*>(local)->sin6_port);
  }
  return ntohs(reinterpret_cast<const sockaddr_in*>(local)->sin_port);
}

mervane_text_t TextOf(const std::string& text) {
  return {text.data(), text.size()};
}

}  // namespace

int mervane_start_up_check(const mervane_settings_t* settings, int mapping,
                           int change_user, const char* user_name, unsigned uid,
                           unsigned gid, char* error, size_t size) {
  try {
    const std::string reason = mervane::host::StartUpError(
        SettingsOf(*settings), mapping != 0, kNames,
        [&] { return !change_user || BecomeUser(user_name, uid, gid); });
    CopyOut(reason, error, size);
    return reason.empty() ? 1 : 0;
  } catch (...) {  // out of memory: no exception may reach nginx's C code
    CopyOut("out of memory", error, size);
    return 0;
  }
}

int mervane_load(const mervane_settings_t* settings, char* message,
                 size_t size) {
  try {
    mervane::host::ExportLibraryEnvironment(SettingsOf(*settings));
    // Never deleted, as it is never unloaded.
    auto* library = new mervane::host::FilterLibrary();
    g_loop = new Loop();
    const std::string error = library->Load(settings->library);
    if (!error.empty()) {
      CopyOut(error, message, size);
      return 0;
    }
    const HTTP_FILTER_VERSION& version = library->version();
    CopyOut(std::string("\"") + version.lpszFilterDesc + "\", filter version " +
                std::to_string(version.dwFilterVersion >> 16) + "." +
                std::to_string(version.dwFilterVersion & 0xffff),
            message, size);
    g_filter = library;
    return 1;
  } catch (...) {
    CopyOut("out of memory", message, size);
    return 0;
  }
}

int mervane_loaded(void) { return g_filter != nullptr; }

mervane_job_t* mervane_loop_job(const mervane_request_t* request) {
  try {
    mervane::host::UrlRequest& to = g_loop->job.request;
    to.uri.assign(request->uri.data, request->uri.len);
    to.local_ip = g_loop->addresses.TextOf(request->local, request->local_len);
    to.local_port = PortOf(request->local);
    to.has_host_name = request->host.data != nullptr;
    to.host_name.clear();
    if (to.has_host_name) {
      to.host_name.append(request->host.data, request->host.len);
    }
    to.document_root.assign(request->document_root.data,
                            request->document_root.len);
    to.drives = request->drives != nullptr ? request->drives : "";
    to.trace = request->trace != 0;
    return &g_loop->job;
  } catch (...) {
    return nullptr;
  }
}

mervane_job_t* mervane_job_copy(const mervane_job_t* job) {
  try {
    auto* copy = new mervane_job_t();
    copy->request = job->request;
    return copy;
  } catch (...) {
    return nullptr;
  }
}

void mervane_job_free(mervane_job_t* job) { delete job; }

mervane_outcome_t mervane_job_map(mervane_job_t* job, int may_defer) {
  try {
    // The filter reads the URL up to its first NUL.
    if (job->request.uri.find('\0') != std::string::npos) {
      return MERVANE_BAD_URL;
    }
    switch (job->mapping.Map(*g_filter, job->request, may_defer != 0)) {
      case UrlMapping::Outcome::kMapped:
        mervane::nginx::LocationRootOf(job->mapping.native_path(),
                                       job->request.uri, &job->location);
        return MERVANE_MAPPED;
      case UrlMapping::Outcome::kBadUrl:
        return MERVANE_BAD_URL;
      case UrlMapping::Outcome::kBadPath:
        return MERVANE_BAD_PATH;
      case UrlMapping::Outcome::kFailed:
        return MERVANE_FAILED;
      case UrlMapping::Outcome::kParseElsewhere:
        return MERVANE_ELSEWHERE;
      case UrlMapping::Outcome::kUnmapped:
        break;
    }
    return MERVANE_UNMAPPED;
  } catch (...) {
    return MERVANE_FAILED;
  }
}

mervane_text_t mervane_job_root(const mervane_job_t* job) {
  return TextOf(job->location.root);
}

size_t mervane_job_alias(const mervane_job_t* job) {
  return job->location.alias;
}

int mervane_job_site(const mervane_job_t* job, mervane_site_t* site) {
  const mervane::host::SiteVariables* reported = job->mapping.site();
  if (reported == nullptr) return 0;
  site->document_root = TextOf(reported->document_root);
  site->context_prefix = TextOf(reported->context_prefix);
  site->context_document_root = TextOf(reported->context_prefix.empty()
                                           ? reported->document_root
                                           : reported->context_document_root);
  site->entry = TextOf(reported->entry);
  site->user_dir = TextOf(reported->user_dir);
  return 1;
}

const char* mervane_job_trace(const mervane_job_t* job) {
  return job->mapping.trace().c_str();
}

const char* mervane_job_reason(const mervane_job_t* job) {
  return job->mapping.reason().c_str();
}
