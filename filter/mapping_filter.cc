#include "filter/mapping_filter.h"

#include <algorithm>
#include <new>
#include <utility>

#include "config/registry_key.h"
#include "filter/snapshot_source.h"

namespace mervane {
namespace {

// Releases the check claim on every way out of the check, a throw included.
class ClaimRelease {
 public:
  explicit ClaimRelease(std::atomic<bool>* claimed) : claimed_(claimed) {}
  ~ClaimRelease() { claimed_->store(false, std::memory_order_release); }
  ClaimRelease(const ClaimRelease&) = delete;
  ClaimRelease& operator=(const ClaimRelease&) = delete;

 private:
  std::atomic<bool>* const claimed_;
};

}  // namespace

MappingFilter::MappingFilter() : MappingFilter(Hooks()) {}

MappingFilter::MappingFilter(Hooks hooks, FirstLoad first_load)
    : hooks_(std::move(hooks)) {
  if (first_load == FirstLoad::kNow) ReloadIfChanged();
}

MappingFilter::~MappingFilter() = default;

bool MappingFilter::ReloadIfChanged() {
  try {
    return ReloadIfChanged(hooks_.clock(), nullptr) == Check::kReplaced;
  } catch (...) {
    return false;
  }
}

MappingFilter::Check MappingFilter::ReloadIfChanged(uint64_t now,
                                                    ParsePlace* place) {
  // Read first: during a load every request comes here, and a failed
  // exchange would still take the cache line from the others.
  bool unclaimed = false;
  if (claimed_.load(std::memory_order_relaxed) ||
      !claimed_.compare_exchange_strong(unclaimed, true,
                                        std::memory_order_acquire)) {
    return Check::kUnchanged;
  }
  ClaimRelease release(&claimed_);
  next_check_.store(now + kCheckMilliseconds, std::memory_order_relaxed);
  Check check = Check::kUnchanged;
  try {
    check = Refresh(now, place);
  } catch (...) {
    // Whatever failed, the published State is still whole: the next check
    // tries again.
  }
  if (check == Check::kParseElsewhere) {
    next_check_.store(0, std::memory_order_relaxed);
  }
  return check;
}

MappingFilter::Check MappingFilter::Refresh(uint64_t now, ParsePlace* place) {
  const std::shared_ptr<const State> current = CurrentState();
  State next = current != nullptr ? *current : State();
  const bool path_changed = ReadPathWhenDue(now, &next.path);
  if (next.path.empty()) return Check::kUnchanged;
  platform::FileStamp stamp;
  // Taken before the read: a save during the read is a change next time.
  const bool exists = platform::QueryFileStamp(next.path.c_str(), &stamp);
  const bool changed =
      path_changed || (exists && !(next.has_stamp && stamp == next.stamp));
  const bool retry_due = exists && next.retry_at != 0 && now >= next.retry_at;
  if (!changed && !retry_due) return Check::kUnchanged;
  // A hand edit's index may be on its way: the current snapshot maps
  // meanwhile, and the next checks look again.
  if (changed && !path_changed && next.snapshot != nullptr &&
      index_wait_.Waits(next.path, stamp, now)) {
    return Check::kUnchanged;
  }
  next.has_stamp = exists;
  next.stamp = stamp;
  next.retry_at = 0;
  if (exists) {
    hooks_.before_read();
    if (!Load(changed, now, place, &next)) return Check::kParseElsewhere;
  }
  const bool replaced =
      next.snapshot != (current != nullptr ? current->snapshot : nullptr);
  state_.Store(std::make_shared<const State>(std::move(next)));
  return replaced ? Check::kReplaced : Check::kUnchanged;
}

bool MappingFilter::ReadPathWhenDue(uint64_t now, std::string* path) {
  if (now < next_registry_read_.load(std::memory_order_relaxed)) return false;
  next_registry_read_.store(now + kRegistryMilliseconds,
                            std::memory_order_relaxed);
  // A value that is missing or cannot be read keeps the file we have.
  const std::unique_ptr<char[]> named = ReadConfigurationPath();
  if (named == nullptr || *path == named.get()) return false;
  *path = named.get();
  return true;
}

bool MappingFilter::Load(bool new_stamp, uint64_t now, ParsePlace* place,
                         State* next) const {
  SourceLoad load;
  try {
    load = LoadSnapshotFor(next->path, next->stamp, place);
  } catch (const std::bad_alloc&) {
    load.failure = {"out of memory", false};
  }
  if (load.parse_elsewhere) return false;
  if (load.snapshot != nullptr) {
    if (!load.notice.empty()) ReportIndexNotUsed(load.notice);
    next->snapshot = std::move(load.snapshot);
    return true;
  }
  if (new_stamp) ReportFailure(next->path, load.failure.reason);
  if (load.failure.in_content) return true;
  next->retry_delay =
      new_stamp ? kFirstRetryMilliseconds
                : std::min(2 * next->retry_delay, kLastRetryMilliseconds);
  next->retry_at = now + next->retry_delay;
  return true;
}

void MappingFilter::ReportFailure(const std::string& path,
                                  const std::string& reason) const {
  try {
    const std::string line = "the configuration file " + path +
                             " was not loaded (" + reason +
                             "); the last one loaded goes on mapping";
    hooks_.report(line.c_str());
  } catch (const std::bad_alloc&) {
    hooks_.report("a configuration file was not loaded (out of memory)");
  }
}

void MappingFilter::ReportIndexNotUsed(const std::string& notice) const {
  try {
    const std::string line =
        "the configuration was loaded from its text, not its index: " + notice +
        "; mervane-map --compile writes the index";
    hooks_.report(line.c_str());
  } catch (const std::bad_alloc&) {
    hooks_.report("the configuration was loaded from its text (out of memory)");
  }
}

std::shared_ptr<const MappingFilter::State> MappingFilter::CurrentState()
    const {
  return state_.Load();
}

DWORD MappingFilter::MapUrl(ServerVariableSource* variables,
                            RequestMemory* memory, HTTP_FILTER_URL_MAP* record,
                            MappedSite* site, ParsePlace* place) {
  const uint64_t now = hooks_.clock();
  if (now >= next_check_.load(std::memory_order_relaxed) &&
      ReloadIfChanged(now, place) == Check::kParseElsewhere) {
    return SF_STATUS_REQ_NEXT_NOTIFICATION;
  }
  // Held to the end of the request, the log's write included.
  const std::shared_ptr<const State> state = CurrentState();
  if (state == nullptr || state->snapshot == nullptr) {
    return SF_STATUS_REQ_NEXT_NOTIFICATION;
  }
  MappingLog log;
  return state->snapshot->MapUrl(variables, memory, record, &log, site);
}

}  // namespace mervane
