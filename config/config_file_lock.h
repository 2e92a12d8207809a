// ConfigFileLock: keeps the writers of one configuration file apart. Every
// request of the administration program that may save holds it from its
// load to the end of its save, so that two overlapping requests run one
// after the other instead of the later save dropping the earlier change.
// The lock is a file beside the configuration, "<path>.lock" (beside the
// file at the end of the path's symbolic links), which stays after use. The
// filter only reads and never takes it.
//
// Thread safety: one lock belongs to one thread; locks of other processes
// and threads exclude each other.

#ifndef MERVANE_CONFIG_CONFIG_FILE_LOCK_H_
#define MERVANE_CONFIG_CONFIG_FILE_LOCK_H_

#include <string>

#include "platform/platform.h"

namespace mervane {

class ConfigFileLock {
 public:
  // Waits until the lock of the configuration file at config_path is held;
  // Held() tells whether that worked, Failure() why not.
  explicit ConfigFileLock(const char* config_path);
  ~ConfigFileLock();
  ConfigFileLock(const ConfigFileLock&) = delete;
  ConfigFileLock& operator=(const ConfigFileLock&) = delete;

  bool Held() const { return lock_ != nullptr; }
  const std::string& Failure() const { return failure_; }

 private:
  platform::FileLock lock_ = nullptr;
  std::string failure_;
};

}  // namespace mervane

#endif  // MERVANE_CONFIG_CONFIG_FILE_LOCK_H_
