#include "config/config_file_lock.h"

namespace mervane {

ConfigFileLock::ConfigFileLock(const char* config_path) {
  const std::string path = std::string(config_path) + ".lock";
  lock_ = platform::LockFileExclusively(path.c_str());
  if (lock_ == nullptr) failure_ = path + ": " + platform::LastErrorText();
}

ConfigFileLock::~ConfigFileLock() { platform::UnlockFile(lock_); }

}  // namespace mervane
