#include "filter/mapping_filter.h"

#include <cstring>
#include <utility>

#include "config/config_schema.h"
#include "config/registry_key.h"

namespace mervane {

MappingFilter::MappingFilter() : MappingFilter(platform::SleepMilliseconds) {}

MappingFilter::MappingFilter(SleepFunction sleep) : sleep_(std::move(sleep)) {
  LoadConfiguration();
}

MappingFilter::~MappingFilter() = default;

void MappingFilter::LoadConfiguration() {
  RegistryKey key(RegistryKey::Root::kLocalMachine, schema::kRegistryKeyPath);
  std::unique_ptr<char[]> path;
  if (key.IsOpen()) path = key.ReadString(schema::kRegistryValueName);
  key.Close();
  // A path that does not fit the path buffer is refused like a missing one
  // rather than cut to the name of some other file.
  if (path != nullptr && std::strlen(path.get()) >= kMaxPath) path.reset();
  if (path != nullptr) std::strcpy(config_path_, path.get());

  // Taken before the file is read (invariant 6).
  last_write_time_ = QueryConfigFileTime();
  if (path == nullptr) return;
  config_root_ = std::make_unique<ConfigFile>(path.get());
  loaded_ = config_root_->Load();
}

platform::FileTime MappingFilter::QueryConfigFileTime() const {
  platform::FileTime time = last_write_time_;
  platform::QueryLastWriteTime(config_path_, &time);
  return time;
}

bool MappingFilter::ReloadIfChanged() {
  bool unclaimed = false;
  if (!reloading_.compare_exchange_strong(unclaimed, true)) return false;
  WaitForReaders();
  // Another thread may have loaded this very change since the caller saw it.
  const bool changed = QueryConfigFileTime() != last_write_time_;
  if (changed) {
    config_root_.reset();
    loaded_ = 0;
    LoadConfiguration();
  }
  reloading_ = false;
  return changed;
}

void MappingFilter::EnterReader() {
  for (;;) {
    WaitWhileReloading();
    if (!CountReaderUnlessReloading()) continue;
    if (QueryConfigFileTime() == last_write_time_) return;
    LeaveReader();
    ReloadIfChanged();
  }
}

void MappingFilter::LeaveReader() {
  int count = reader_count_;
  while (count > 0 && !reader_count_.compare_exchange_weak(count, count - 1)) {
  }
}

bool MappingFilter::CountReaderUnlessReloading() {
  ++reader_count_;
  if (!reloading_) return true;
  LeaveReader();
  return false;
}

void MappingFilter::WaitWhileReloading() const {
  while (reloading_) sleep_(kPollMilliseconds);
}

void MappingFilter::WaitForReaders() const {
  while (reader_count_ != 0) sleep_(kPollMilliseconds);
}

}  // namespace mervane
