// MappingFilter: the filter's state and its work. It holds the loaded
// configuration, reloads it when the file changes on disk while requests are
// being mapped and maps one URL (map_url.cc), writing the mapping log
// (mapping_log.h).
//
// The library has one instance per process, made by its static
// initialisation (filter_exports.cc); any number of others may be made, as
// the tests do. Each instance reads the registry value "Configuration File"
// and the file it names when constructed.
//
// Thread safety
//
// MapUrl runs on many server threads at once. The configuration tree is read
// by all of them without a lock; only a reload writes it. reloading_ and
// reader_count_ are sequentially consistent atomics; every other field is
// plain and kept safe by the reload protocol's invariants:
//
//   1. A thread counts itself as a reader first and tests reloading_ after;
//      the claimer of a reload sets reloading_ first and tests reader_count_
//      after. In the single order of these operations, either the reader
//      sees the claim, uncounts itself without reading any field and waits,
//      or the claimer sees the reader counted and waits for it to leave.
//   2. config_root_, loaded_, config_path_ and last_write_time_ are read only
//      by a thread that is counted and found no claim after counting itself,
//      or by the claimer. The claimer writes them only after it has seen
//      reader_count_ at 0. A thread between EnterReader and LeaveReader
//      therefore sees one configuration throughout.
//   3. At most one thread holds the claim: it is taken by exchanging
//      reloading_ from false to true. The claimer is not counted, so it never
//      waits for itself. It reloads only when the file's time still differs
//      from last_write_time_, so a change noticed by several threads at once
//      is loaded once.
//   4. reader_count_ never drops below 0, however often LeaveReader is
//      called: only a positive count is decremented.
//   5. No lock is held while mapping, while reading the file or while
//      waiting. Waits are polls every 100 ms, through the sleep function:
//      the claimer's until reader_count_ is 0, an arrival's until reloading_
//      is false.
//   6. last_write_time_ is the file's time taken before the file was last
//      read, so a save that lands during a read is seen as a change by the
//      next request.
//
// Every caller of MapUrl's reading side must pair EnterReader with exactly
// one LeaveReader: a reader that never leaves blocks reloads for good.

#ifndef MERVANE_FILTER_MAPPING_FILTER_H_
#define MERVANE_FILTER_MAPPING_FILTER_H_

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

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

  // Claims the reload unless another thread holds it, waits for the counted
  // readers to leave, and reloads the configuration when the file's
  // last-write time differs from the one seen at the last load. Returns true
  // when it reloaded. The caller must not be counted as a reader.
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

  // Counts the caller as a reader unless a reload is claimed.
  bool CountReaderUnlessReloading();
  void WaitWhileReloading() const;
  void WaitForReaders() const;

  const SleepFunction sleep_;

  // Plain fields, guarded by the reload protocol (invariant 2).
  std::unique_ptr<ConfigFile> config_root_;
  int loaded_ = 0;
  platform::FileTime last_write_time_;
  char config_path_[kMaxPath] = {};

  // Written by every request: kept off the cache line of the fields above,
  // which every request only reads.
  alignas(64) std::atomic<int> reader_count_{0};
  std::atomic<bool> reloading_{false};
};

}  // namespace mervane

#endif  // MERVANE_FILTER_MAPPING_FILTER_H_
