#include "host/configuration_access.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "config/config_schema.h"
#include "config/registry_key.h"
#include "platform/platform.h"

namespace mervane {
namespace host {
namespace {

std::string KeyName() {
  return std::string("HKEY_LOCAL_MACHINE\\") + schema::kRegistryKeyPath;
}

bool KeyOpens() {
  RegistryKey key(RegistryKey::Root::kLocalMachine, schema::kRegistryKeyPath);
  const bool open = key.IsOpen();
  key.Close();
  return open;
}

// The folder that holds `path`, so that a file missing from it can be told
// from one whose folder is missing too.
std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool IsFolder(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Why the file at native_path cannot be read; the empty text when it can or
// when only the file itself is missing. ENOENT rather than EACCES for the
// file means its folder can be searched, so a file made there later will be
// seen.
std::string FileReadError(const std::string& native_path) {
  std::FILE* file = std::fopen(native_path.c_str(), "r");
  if (file == nullptr) {
    const int error = errno;
    if (error == ENOENT && IsFolder(FolderOf(native_path))) return "";
    return std::strerror(error);
  }
  // Opening a folder for reading succeeds; reading it does not.
  const bool read = std::fgetc(file) != EOF || !std::ferror(file);
  const int error = errno;
  std::fclose(file);
  return read ? "" : std::strerror(error);
}

}  // namespace

std::string ConfigurationReadError() {
  if (!KeyOpens()) return "cannot open the key " + KeyName();
  const std::unique_ptr<char[]> path = ReadConfigurationPath();
  // An empty path names no file that could ever be loaded.
  if (path == nullptr || path[0] == '\0') {
    return std::string(
               "cannot read a configuration file's path from the "
               "value \"") +
           schema::kRegistryValueName + "\" of " + KeyName() +
           " (missing, unreadable, empty or longer than " +
           std::to_string(kLongestConfigurationPath) + " characters)";
  }
  const std::string native = platform::NativePath(path.get());
  const std::string error = FileReadError(native);
  if (error.empty()) return error;
  return std::string("cannot read the configuration file ") + path.get() +
         " (" + native + ") that it names: " + error;
}

}  // namespace host
}  // namespace mervane
