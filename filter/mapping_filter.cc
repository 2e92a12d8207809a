#include "filter/mapping_filter.h"

#include <utility>

#include "config/registry_key.h"

namespace mervane {
namespace {

// A wait yields this many times before it sleeps: enough for a reader in
// flight to finish its mapping.
constexpr int kYieldRounds = 100;

}  // namespace

MappingFilter::MappingFilter() : MappingFilter(Hooks()) {}

MappingFilter::MappingFilter(Hooks hooks) : hooks_(std::move(hooks)) {
  current_ = ReadConfiguration();
}

MappingFilter::~MappingFilter() = default;

MappingFilter::Configuration MappingFilter::ReadConfiguration() const {
  const std::unique_ptr<char[]> path = ReadConfigurationPath();
  Configuration next;
  next.path = path != nullptr ? path.get() : current_.path;
  // Taken before the file is read (invariant 7).
  next.last_write_time = current_.last_write_time;
  platform::QueryLastWriteTime(next.path.c_str(), &next.last_write_time);
  if (path == nullptr) return next;
  hooks_.before_read();
  std::string reason;
  next.snapshot = Snapshot::Load(next.path, &reason);
  return next;
}

platform::FileTime MappingFilter::QueryConfigFileTime() const {
  platform::FileTime time = current_.last_write_time;
  platform::QueryLastWriteTime(current_.path.c_str(), &time);
  return time;
}

bool MappingFilter::ReloadIfChanged() {
  bool unclaimed = false;
  if (!reload_claimed_.compare_exchange_strong(unclaimed, true)) return false;
  // Another thread may have loaded this very change since the caller saw it.
  const bool changed = QueryConfigFileTime() != current_.last_write_time;
  // Holds the old configuration after the swap, to be destroyed once the
  // claim is released (invariant 4).
  Configuration next;
  if (changed) {
    next = ReadConfiguration();
    swapping_ = true;
    WaitForReaders();
    std::swap(current_, next);
    swapping_ = false;
  }
  reload_claimed_ = false;
  return changed;
}

void MappingFilter::EnterReader() {
  for (;;) {
    WaitWhileSwapping();
    if (!CountReaderUnlessSwapping()) continue;
    // A change that another thread is reading is mapped with the current
    // configuration until the swap (invariant 2).
    if (reload_claimed_ || QueryConfigFileTime() == current_.last_write_time) {
      return;
    }
    LeaveReader();
    ReloadIfChanged();
  }
}

DWORD MappingFilter::MapUrl(ServerVariableSource* variables,
                            RequestMemory* memory,
                            HTTP_FILTER_URL_MAP* record) {
  // Written after the reader has left, so that no reload waits for a file.
  MappingLog log;
  EnterReader();
  DWORD status = SF_STATUS_REQ_NEXT_NOTIFICATION;
  if (current_.snapshot != nullptr) {
    status = current_.snapshot->MapUrl(variables, memory, record, &log);
  }
  LeaveReader();
  return status;
}

void MappingFilter::LeaveReader() {
  int count = reader_count_;
  while (count > 0 && !reader_count_.compare_exchange_weak(count, count - 1)) {
  }
}

bool MappingFilter::CountReaderUnlessSwapping() {
  ++reader_count_;
  if (!swapping_) return true;
  LeaveReader();
  return false;
}

void MappingFilter::WaitWhileSwapping() const {
  for (int round = 0; swapping_;) Pause(&round);
}

void MappingFilter::WaitForReaders() const {
  for (int round = 0; reader_count_ != 0;) Pause(&round);
}

void MappingFilter::Pause(int* round) const {
  if (++*round <= kYieldRounds) {
    platform::YieldThread();
  } else {
    hooks_.sleep(kWaitMilliseconds);
  }
}

}  // namespace mervane
