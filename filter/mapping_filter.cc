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
  if (path != nullptr) SetConfigPath(path.get());

  // Taken before the file is read (invariant 6).
  SetLastWriteTime(QueryConfigFileTime());
  if (path == nullptr) return;
  config_root_ = std::make_unique<ConfigFile>(path.get());
  loaded_ = config_root_->Load();
}

platform::FileTime MappingFilter::QueryConfigFileTime() const {
  char path[kMaxPath];
  platform::FileTime time;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    std::memcpy(path, config_path_, sizeof path);
    time = last_write_time_;
  }
  platform::QueryLastWriteTime(path, &time);
  return time;
}

bool MappingFilter::ReloadIfChanged() {
  if (!ClaimReload(QueryConfigFileTime())) return false;
  WaitForReaders();
  config_root_.reset();
  loaded_ = 0;
  LoadConfiguration();
  EndReload();
  return true;
}

void MappingFilter::EnterReader() {
  ReloadIfChanged();
  while (!CountReaderUnlessReloading()) sleep_(kPollMilliseconds);
}

void MappingFilter::LeaveReader() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (reader_count_ > 0) --reader_count_;
}

bool MappingFilter::ClaimReload(const platform::FileTime& time) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (reloading_ || time == last_write_time_) return false;
  reloading_ = true;
  return true;
}

void MappingFilter::WaitForReaders() {
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (reader_count_ == 0) return;
    }
    sleep_(kPollMilliseconds);
  }
}

void MappingFilter::EndReload() {
  std::lock_guard<std::mutex> lock(mutex_);
  reloading_ = false;
}

bool MappingFilter::CountReaderUnlessReloading() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (reloading_) return false;
  ++reader_count_;
  return true;
}

void MappingFilter::SetConfigPath(const char* path) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::strcpy(config_path_, path);
}

void MappingFilter::SetLastWriteTime(const platform::FileTime& time) {
  std::lock_guard<std::mutex> lock(mutex_);
  last_write_time_ = time;
}

}  // namespace mervane
