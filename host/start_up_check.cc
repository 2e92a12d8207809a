#include "host/start_up_check.h"

#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "host/configuration_access.h"
#include "host/filter_library.h"

namespace mervane {
namespace host {
namespace {

// What the server's user meets when it loads the library and reads the
// configuration: why the module cannot start, or the empty text. Runs in
// the checking process.
std::string CheckAsUser(const LibrarySettings& settings,
                        const DirectiveNames& names,
                        const std::function<bool()>& become_user) {
  const std::string library =
      std::string(names.library) + " " + settings.library;
  if (!become_user()) {
    return library + ": it cannot be loaded as " + names.user;
  }
  ExportLibraryEnvironment(settings);
  FilterLibrary filter;
  std::string error = filter.Load(settings.library);
  if (!error.empty()) return library + ": " + error;
  error = ConfigurationReadError();
  if (!error.empty()) {
    return std::string(names.registry) + " " + settings.registry + ": " +
           names.user + " " + error;
  }
  return error;
}

// Sends report through fd and ends without running anything of the
// server's at exit.
[[noreturn]] void SendAndExit(const std::string& report, int fd) {
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

// Runs CheckAsUser in a process of its own; returns its report, or why it
// could not be had.
std::string CheckInOwnProcess(const LibrarySettings& settings,
                              const DirectiveNames& names,
                              const std::function<bool()>& become_user) {
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
    SendAndExit(CheckAsUser(settings, names, become_user), ends[1]);
  }
  close(ends[1]);
  const std::string report = ReadReport(ends[0]);
  close(ends[0]);
  if (!ExitedCleanly(pid)) {
    return std::string(names.library) + " " + settings.library +
           ": it crashed or could not be tried while loading";
  }
  return report;
}

bool IsFolder(const char* path) {
  struct stat st;
  return stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

void ExportLibraryEnvironment(const LibrarySettings& settings) {
  setenv("MERVANE_REGISTRY", settings.registry, 1);
  if (settings.drives != nullptr) setenv("MERVANE_DRIVES", settings.drives, 1);
}

std::string StartUpError(const LibrarySettings& settings, bool mapping,
                         const DirectiveNames& names,
                         const std::function<bool()>& become_user) {
  if (settings.library == nullptr) {
    return mapping ? std::string(names.filter_on) + " needs " + names.library
                   : std::string();
  }
  // Without its registry the library loads without complaint and maps
  // nothing: every host would silently get the main site.
  if (settings.registry == nullptr || !IsFolder(settings.registry)) {
    return std::string(names.registry) +
           " must name an existing folder (the library finds its "
           "configuration through it)";
  }
  if (settings.drives != nullptr && !IsFolder(settings.drives)) {
    return std::string(names.drives) + " " + settings.drives +
           ": not an existing folder";
  }
  return CheckInOwnProcess(settings, names, become_user);
}

}  // namespace host
}  // namespace mervane
