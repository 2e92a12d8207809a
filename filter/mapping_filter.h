// MappingFilter: the filter's state and its work. It holds the loaded
// configuration, reloads it when the file changes on disk while requests are
// being mapped and maps one URL (map_url.cc), writing the mapping log
// (mapping_log.h) with the loaded snapshot (snapshot.h).
//
// The library has one instance per process, made by its static
// initialisation (filter_exports.cc); any number of others may be made, as
// the tests do. Each instance reads the registry value "Configuration File"
// and the file it names when constructed.
//
// Thread safety
//
// MapUrl runs on many server threads at once. They read the configuration
// (current_) without a lock; only a reload replaces it. reader_count_,
// swapping_ and reload_claimed_ are sequentially consistent atomics; current_
// is plain and kept safe by the reload protocol's invariants:
//
//   1. At most one thread holds the reload claim: it is taken by exchanging
//      reload_claimed_ from false to true. The claimer is not counted as a
//      reader, so it never waits for itself. It reloads only when the file's
//      time still differs from current_'s, so a change noticed by several
//      threads at once is loaded once.
//   2. The claimer reads the file into a configuration of its own while the
//      other threads go on mapping with current_, which it only reads until
//      it swaps. A request that notices the change during the read maps with
//      current_ without waiting: only the claiming request waits for a read.
//   3. To swap, the claimer sets swapping_ first and tests reader_count_
//      after; a reader counts itself first and tests swapping_ after. In the
//      single order of these operations, either the reader sees the swap,
//      uncounts itself without reading current_ and waits for the swap, or
//      the claimer sees the reader counted and waits for it to leave. The
//      claimer writes current_ only after it has seen reader_count_ at 0 and
//      clears swapping_ after, so a thread between EnterReader and
//      LeaveReader sees one configuration throughout, and a request that
//      enters after a reload maps with the new one.
//   4. The claimer destroys the old configuration after it has cleared
//      swapping_ and released the claim: no reader can hold it any more (3),
//      and nobody waits for its destruction.
//   5. reader_count_ never drops below 0, however often LeaveReader is
//      called: only a positive count is decremented.
//   6. No lock is held while mapping, while reading the file or while
//      waiting. A wait yields the processor for a while and then sleeps
//      kWaitMilliseconds between tests, through the sleep hook: the claimer's
//      until reader_count_ is 0 (readers in flight map for microseconds), an
//      arrival's until swapping_ is false (the swap moves a few fields).
//      Arrivals step back while a swap is pending, so it cannot starve, and
//      the swap is short, so they cannot either. A request writes its
//      mapping log after it has left, so no swap waits for a file.
//   7. current_'s time is the file's time taken before the file was read, so
//      a save that lands during a read is seen as a change by the next
//      request.
//
// Every caller of MapUrl's reading side must pair EnterReader with exactly
// one LeaveReader: a reader that never leaves blocks reloads for good.

#ifndef MERVANE_FILTER_MAPPING_FILTER_H_
#define MERVANE_FILTER_MAPPING_FILTER_H_

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "filter/request_memory.h"
#include "filter/server_variable_source.h"
#include "filter/snapshot.h"
#include "platform/isapi.h"
#include "platform/platform.h"

namespace mervane {

class MappingFilter {
 public:
  // Where tests watch a reload; the defaults are those of the server.
  struct Hooks {
    // Suspends the calling thread for about the given milliseconds.
    std::function<void(uint32_t)> sleep = platform::SleepMilliseconds;
    // Runs in a reloading thread after it took the file's time and before
    // it reads the file.
    std::function<void()> before_read = [] {};
  };

  // A wait that yielding did not end sleeps this long between tests.
  static constexpr uint32_t kWaitMilliseconds = 1;

  // Reads the registry and loads the configuration.
  MappingFilter();
  explicit MappingFilter(Hooks hooks);
  // Deletes the configuration. Does not wait for readers or a reload.
  ~MappingFilter();
  MappingFilter(const MappingFilter&) = delete;
  MappingFilter& operator=(const MappingFilter&) = delete;

  // Claims the reload unless another thread holds it and, when the file's
  // last-write time differs from the one seen at the last load, reads the
  // file, waits for the counted readers to leave and swaps the new
  // configuration in. Returns true when it reloaded. The caller must not be
  // counted as a reader.
  bool ReloadIfChanged();
  // Reloads when the file changed and no other thread is reloading it,
  // waits while a reload swaps the configuration, and counts the caller as
  // a reader of the configuration.
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

  // The loaded configuration; null when none is loaded. Only between
  // EnterReader and LeaveReader.
  const Snapshot* CurrentSnapshot() const { return current_.snapshot.get(); }

 private:
  // One load of the registry value and the file it names.
  struct Configuration {
    // null when no file is named or it could not be read
    std::shared_ptr<const Snapshot> snapshot;
    platform::FileTime last_write_time;
    std::string path;
  };

  // Reads the registry value, takes the file's time and reads the file into
  // a new configuration. A failed registry read gives a null root and keeps
  // the current path. Only by the constructor or the claimer.
  Configuration ReadConfiguration() const;
  // The last-write time of the file at the current path; current_'s when
  // the file cannot be opened.
  platform::FileTime QueryConfigFileTime() const;

  // Counts the caller as a reader unless a swap is pending.
  bool CountReaderUnlessSwapping();
  void WaitWhileSwapping() const;
  void WaitForReaders() const;
  // One round of a wait: yields for the first rounds, then sleeps.
  void Pause(int* round) const;

  const Hooks hooks_;

  // Plain, guarded by the reload protocol (invariants 2 and 3).
  Configuration current_;

  // Written by every request: kept off the cache line of the fields above,
  // which every request only reads.
  alignas(64) std::atomic<int> reader_count_{0};
  std::atomic<bool> swapping_{false};
  std::atomic<bool> reload_claimed_{false};
};

}  // namespace mervane

#endif  // MERVANE_FILTER_MAPPING_FILTER_H_
