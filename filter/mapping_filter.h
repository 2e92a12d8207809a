// MappingFilter: the filter's state and its work. It holds the loaded
// configuration as an immutable snapshot (snapshot.h), loads a new one when
// the registry value or the file it names changes, and maps one URL with
// the snapshot the request started with, writing the mapping log
// (mapping_log.h).
//
// The library has one instance per process, made by its static
// initialisation (filter_exports.cc); any number of others may be made, as
// the tests do. Each instance reads the registry value "Configuration File"
// and the file it names when constructed.
//
// Thread safety
//
// MapUrl runs on many server threads at once. The snapshot, the file's
// path and its stamp form one immutable State, published whole
// (published_pointer.h): a request takes the State current when it starts and
// holds it to its end, so an old snapshot is freed by the last request
// that uses it and nobody waits for readers. At most once a millisecond
// (the registry value at most once a second) one thread takes the check
// claim, a flag released on every path out, and compares the stamp; the
// others go on with the State they took. A failed load keeps the last good
// snapshot, remembers the stamp and reports the failure once for it. A
// failure of the file's content is retried only when the file changes
// again; one of the system's (no free descriptor, out of memory, a read
// error) also after a delay that grows from 1 s to 60 s, so that no process
// keeps an older configuration than the others for good. The stamp is taken
// before the read, so a save that lands during a read is seen by the next
// check. A changed file is loaded from its compiled index when that names
// it (snapshot_source.h); one without (a hand edit) keeps the current
// snapshot for up to a second, each check looking for the index again,
// before its text is read: only the checking request ever reads, the others
// map on. A server whose request must not wait for that read (an event loop,
// parse_place.h) has the request delivered again from another thread: the
// check is then due at once, so that the second delivery makes it.

#ifndef MERVANE_FILTER_MAPPING_FILTER_H_
#define MERVANE_FILTER_MAPPING_FILTER_H_

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "filter/parse_place.h"
#include "filter/published_pointer.h"
#include "filter/request_memory.h"
#include "filter/server_variable_source.h"
#include "filter/snapshot.h"
#include "filter/snapshot_source.h"
#include "platform/isapi.h"
#include "platform/platform.h"

namespace mervane {

class MappingFilter {
 public:
  // Where tests watch and steer a reload; the defaults are the server's.
  struct Hooks {
    // Milliseconds of a monotonic clock.
    std::function<uint64_t()> clock = platform::MonotonicMilliseconds;
    // Runs in the loading thread after it took the file's stamp and before
    // it reads the file.
    std::function<void()> before_read = [] {};
    // Receives the line that reports a failed load.
    std::function<void(const char*)> report = platform::ReportFailure;
  };

  // The file's stamp is compared at most this often.
  static constexpr uint64_t kCheckMilliseconds = 1;
  // The registry value is read at most this often.
  static constexpr uint64_t kRegistryMilliseconds = 1000;
  // A load that the system failed is tried again after this delay, doubled
  // after each failure of the same file up to the last.
  static constexpr uint64_t kFirstRetryMilliseconds = 1000;
  static constexpr uint64_t kLastRetryMilliseconds = 60000;

  // When the first load happens. The library makes its filter while the
  // system's loader lock is held, where neither a long read nor a report to
  // the event log belongs: it leaves the load to the first check
  // (ReloadIfChanged, which its GetFilterVersion calls, or the first
  // request's).
  enum class FirstLoad { kNow, kAtFirstCheck };

  // Reads the registry and loads the configuration, now unless told
  // otherwise. Never throws.
  MappingFilter();
  explicit MappingFilter(Hooks hooks, FirstLoad first_load = FirstLoad::kNow);
  ~MappingFilter();
  MappingFilter(const MappingFilter&) = delete;
  MappingFilter& operator=(const MappingFilter&) = delete;

  // Unless another thread is checking: reads the registry value when its
  // interval has passed, compares the file's stamp with the last one and
  // loads the file when the value or the stamp changed. Returns true when it
  // published a new snapshot. Never throws.
  bool ReloadIfChanged();

  // Maps the request's physical path for its virtual host. Returns
  // SF_STATUS_REQ_HANDLED_NOTIFICATION when it replaced record's physical
  // path (copied into the server's buffer when it fits, else into memory
  // from `memory`), SF_STATUS_REQ_NEXT_NOTIFICATION with record untouched
  // otherwise; what served a mapped request goes to *site, if given. When
  // the request's check must parse a text and place takes that elsewhere,
  // returns SF_STATUS_REQ_NEXT_NOTIFICATION having mapped and logged
  // nothing. Throws what the mapping throws (std::bad_alloc).
  DWORD MapUrl(ServerVariableSource* variables, RequestMemory* memory,
               HTTP_FILTER_URL_MAP* record, MappedSite* site = nullptr,
               ParsePlace* place = nullptr);

 private:
  // What a request maps with, and what it was loaded from.
  struct State {
    std::shared_ptr<const Snapshot> snapshot;  // the last good one, or null
    std::string path;                          // as the registry names it
    bool has_stamp = false;  // false: the file did not exist at the check
    platform::FileStamp stamp;
    // When the load of this stamp that the system failed is tried again; 0
    // when none is due.
    uint64_t retry_at = 0;
    uint64_t retry_delay = 0;  // the last wait before retry_at
  };

  enum class Check { kUnchanged, kReplaced, kParseElsewhere };

  Check ReloadIfChanged(uint64_t now, ParsePlace* place);
  // The claimer's check: publishes the next State when anything changed,
  // unless its text is to be parsed elsewhere.
  Check Refresh(uint64_t now, ParsePlace* place);
  // Reads the registry value when its interval has passed; returns true
  // when it names another file than *path, which it then holds.
  bool ReadPathWhenDue(uint64_t now, std::string* path);
  // Loads the file at next->path, whose stamp is next->stamp, into next:
  // its snapshot (from its index when that belongs to it), or after a
  // failure that a retry may cure the time of the retry. A failure of a new
  // stamp is reported. Returns false, changing nothing, when the text was to
  // be parsed and place takes that elsewhere.
  bool Load(bool new_stamp, uint64_t now, ParsePlace* place, State* next) const;
  void ReportFailure(const std::string& path, const std::string& reason) const;
  // Reports once per version of the text that its index was not used.
  void ReportIndexNotUsed(const std::string& notice) const;
  std::shared_ptr<const State> CurrentState() const;

  const Hooks hooks_;
  IndexWait index_wait_;  // the claimer's
  // Read by every request, replaced whole by the claimer.
  PublishedPointer<State> state_;
  // Written by the claimer, read by every request: kept off the cache line
  // of the fields above.
  alignas(64) std::atomic<uint64_t> next_check_{0};
  std::atomic<uint64_t> next_registry_read_{0};
  std::atomic<bool> claimed_{false};
};

}  // namespace mervane

#endif  // MERVANE_FILTER_MAPPING_FILTER_H_
