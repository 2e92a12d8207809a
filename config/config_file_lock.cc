#include "config/config_file_lock.h"

namespace mervane {

ConfigFileLock::ConfigFileLock(const char* config_path) {
  // Beside the file a save replaces: the writers through every link to it
  // take turns.
  std::string file;
  if (!platform::FinalFilePath(config_path, &file)) {
    failure_ = std::string(config_path) + ": " + platform::LastErrorText();
    return;
  }
  const std::string path = file + ".lock";
  lock_ = platform::LockFileExclusively(path.c_str());
  if (lock_ == nullptr) failure_ = path + ": " + platform::LastErrorText();
}

ConfigFileLock::~ConfigFileLock() { platform::UnlockFile(lock_); }

}  // namespace mervane
