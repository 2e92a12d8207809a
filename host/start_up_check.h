// The start-up check of a module that hosts the filter library: whether the
// server's user can load the library and read the configuration it will
// read, asked in a short-lived process of its own that becomes that user,
// so that the server itself never holds the library (each of its workers
// must load it after becoming that user) and a refusal names the directive
// to fix. Also the environment through which the library finds its
// registry and drives.
//
// Thread safety: for a server's start-up, before it runs threads: it forks
// and changes the process environment.

#ifndef MERVANE_HOST_START_UP_CHECK_H_
#define MERVANE_HOST_START_UP_CHECK_H_

#include <functional>
#include <string>

namespace mervane {
namespace host {

// Where the library and what it reads are; native paths, null when unset.
struct LibrarySettings {
  const char* library = nullptr;
  const char* registry = nullptr;
  const char* drives = nullptr;
};

// How the server names its directives and its user in a refusal.
struct DirectiveNames {
  const char* filter_on;  // "MervaneFilter On"
  const char* library;
  const char* registry;
  const char* drives;
  const char* user;  // "Apache's User"
};

// Sets MERVANE_REGISTRY and MERVANE_DRIVES for the library, which reads
// them while it loads; a server's own environment settings rarely reach the
// process environment.
void ExportLibraryEnvironment(const LibrarySettings& settings);

// Why the module cannot start as configured, naming the directive to fix;
// the empty text when it can. mapping: some server maps its requests.
// become_user makes the checking process the server's user and returns
// false when it cannot.
std::string StartUpError(const LibrarySettings& settings, bool mapping,
                         const DirectiveNames& names,
                         const std::function<bool()>& become_user);

}  // namespace host
}  // namespace mervane

#endif  // MERVANE_HOST_START_UP_CHECK_H_
