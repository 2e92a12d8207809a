#include "filter/snapshot_source.h"

#include <cstdio>
#include <utility>

#include "filter/index_file.h"
#include "filter/snapshot_image.h"

namespace mervane {
namespace {

// An unreadable text is not loaded from its index either: the index stands
// for the text, never for more than the text allows.
bool CanRead(const std::string& path, Snapshot::LoadFailure* failure) {
  std::FILE* file = platform::OpenFile(path.c_str(), "rb");
  if (file == nullptr) {
    *failure = {platform::LastErrorText(), false};
    return false;
  }
  std::fclose(file);
  return true;
}

std::shared_ptr<const Snapshot> FromText(const std::string& path,
                                         const platform::FileStamp& text,
                                         Snapshot::LoadFailure* failure) {
  std::shared_ptr<const Snapshot> built = Snapshot::Load(path, failure);
  if (built == nullptr) return nullptr;
  auto image = std::make_shared<const std::string>(built->Image(text));
  built.reset();
  ImageFault fault;
  std::shared_ptr<const Snapshot> viewed =
      Snapshot::FromImage(image, image->data(), image->size(), text, &fault);
  // The builder's tables went back to the system; the heap's blocks go too.
  platform::ReleaseFreeMemory();
  // A snapshot just built that makes no image holds more than one can.
  if (viewed == nullptr) *failure = {ImageFaultText(fault), true};
  return viewed;
}

}  // namespace

SourceLoad LoadSnapshotFor(const std::string& path,
                           const platform::FileStamp& text, ParsePlace* place) {
  SourceLoad load;
  if (!CanRead(path, &load.failure)) return load;
  IndexLoad index = LoadIndex(path, text);
  if (index.snapshot != nullptr) {
    load.snapshot = std::move(index.snapshot);
    return load;
  }
  if (place != nullptr && place->TakesParseElsewhere()) {
    load.parse_elsewhere = true;
    return load;
  }
  load.notice = IndexPathOf(path) + " " + index.why;
  load.snapshot = FromText(path, text, &load.failure);
  return load;
}

bool IndexWait::Waits(const std::string& path, const platform::FileStamp& text,
                      uint64_t now) {
  if (text != text_ || deadline_ == 0) {
    text_ = text;
    deadline_ = now + kMilliseconds;
    index_seen_ = false;
  }
  if (now >= deadline_) return false;
  platform::FileStamp index;
  if (!platform::QueryFileStamp(IndexPathOf(path).c_str(), &index)) {
    return true;
  }
  if (index_seen_ && index == index_) return true;
  index_seen_ = true;
  index_ = index;
  return !IndexNamesText(path, text);
}

}  // namespace mervane
