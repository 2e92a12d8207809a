// MappingFilter: the filter's state and its work. It holds the loaded
// configuration, reloads it when the file changes on disk while requests are
// being mapped, maps one URL (map_url.cc) and writes the mapping log
// (mapping_log.cc).
//
// The library has one instance per process, made by its static
// initialisation (filter_exports.cc); any number of others may be made, as
// the tests do. Each instance reads the registry value "Configuration File"
// and the file it names when constructed.
//
// Thread safety
//
// MapUrl runs on many server threads at once. The configuration tree is read
// by all of them without a lock; only a reload writes it. The reload
// protocol keeps these invariants:
//
//   1. config_root_ and loaded_ are replaced only by the thread that has
//      claimed the reload (reloading_ set by it), and only while
//      reader_count_ is 0. A thread between EnterReader and LeaveReader
//      therefore sees one configuration throughout.
//   2. At most one thread holds the claim: the test of reloading_ and of the
//      file time and the setting of reloading_ are one step under mutex_.
//   3. A thread is counted as a reader only while no reload is claimed: the
//      test of reloading_ and the increment are one step under mutex_. A
//      reloading thread is not counted itself, so it never waits for itself.
//   4. reader_count_ never drops below 0, however often LeaveReader is
//      called.
//   5. No lock is held while mapping, while reading the file or while
//      waiting. Waits are polls every 100 ms, through the sleep function.
//   6. last_write_time_ is the file's time taken before the file was last
//      read, so a save that lands during a read is seen as a change by the
//      next request.
//
// Every caller of MapUrl's reading side must pair EnterReader with exactly
// one LeaveReader: a reader that never leaves blocks reloads for good.

#ifndef MERVANE_FILTER_MAPPING_FILTER_H_
#define MERVANE_FILTER_MAPPING_FILTER_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include "config/config_section.h"
#include "filter/request_memory.h"
#include "filter/server_variable_source.h"
#include "platform/isapi.h"
#include "platform/platform.h"

namespace mervane {

class MappingFilter {
 public:
  // Suspends the calling thread for about the given milliseconds.
  using SleepFunction = std::function<void(uint32_t)>;

  // Longest configuration path the registry may name, terminator included.
  static constexpr int kMaxPath = 260;
  // Every wait of the reload protocol polls at this interval.
  static constexpr uint32_t kPollMilliseconds = 100;

  // Reads the registry and loads the configuration. Waits use
  // platform::SleepMilliseconds.
  MappingFilter();
  // As above, waiting through sleep (tests watch the waits this way).
  explicit MappingFilter(SleepFunction sleep);
  // Deletes the configuration. Does not wait for readers or a reload.
  ~MappingFilter();
  MappingFilter(const MappingFilter&) = delete;
  MappingFilter& operator=(const MappingFilter&) = delete;

  // Reloads the configuration when the file's last-write time differs from
  // the one seen at the last load and no reload is claimed yet; waits for
  // the counted readers to leave first. Returns true when it reloaded.
  bool ReloadIfChanged();
  // Reloads when the file changed, waits while a reload is in progress, and
  // counts the caller as a reader of the configuration.
  void EnterReader();
  // Ends a reader's use of the configuration. Never waits.
  void LeaveReader();

  // Maps the request's physical path for its virtual host. Returns
  // SF_STATUS_REQ_HANDLED_NOTIFICATION when it replaced record's physical
  // path (copied into the server's buffer when it fits, else into memory
  // from `memory`), SF_STATUS_REQ_NEXT_NOTIFICATION with record untouched
  // otherwise.
  DWORD MapUrl(ServerVariableSource* variables, RequestMemory* memory,
               HTTP_FILTER_URL_MAP* record);

  // Appends one time-stamped line, the printf-style message, to the log
  // file of IP `ip`, when the configuration gives that IP one. Messages are
  // cut at 1023 characters. Silent on every failure. Only between
  // EnterReader and LeaveReader.
  void WriteLog(const char* ip, const char* format, ...);

  // The loaded configuration (null when the registry named no file) and
  // whether its file was read. Only between EnterReader and LeaveReader.
  const ConfigFile* ConfigRoot() const { return config_root_.get(); }
  int Loaded() const { return loaded_; }

 private:
  // Reads the registry value, takes the file's time and reads the file.
  // A failed registry read leaves config_root_ null and the path as it was.
  void LoadConfiguration();
  // The last-write time of the file at the current path; last_write_time_
  // when the file cannot be opened.
  platform::FileTime QueryConfigFileTime() const;

  bool ClaimReload(const platform::FileTime& time);
  void WaitForReaders();
  void EndReload();
  // Counts the caller as a reader unless a reload is claimed.
  bool CountReaderUnlessReloading();
  void SetConfigPath(const char* path);
  void SetLastWriteTime(const platform::FileTime& time);

  const SleepFunction sleep_;

  // Guarded by the reload protocol (invariant 1), not by mutex_.
  std::unique_ptr<ConfigFile> config_root_;
  int loaded_ = 0;

  mutable std::mutex mutex_;
  bool reloading_ = false;              // guarded by mutex_
  int reader_count_ = 0;                // guarded by mutex_
  platform::FileTime last_write_time_;  // guarded by mutex_
  char config_path_[kMaxPath] = {};     // guarded by mutex_
};

}  // namespace mervane

#endif  // MERVANE_FILTER_MAPPING_FILTER_H_
