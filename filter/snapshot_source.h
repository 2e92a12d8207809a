// SnapshotSource: where the filter takes the snapshot of a configuration
// file from. The file's index (index_file.h) when it belongs to the text,
// which costs a map and a checksum instead of a parse; otherwise the text,
// whose snapshot is then turned into an image in memory, so that requests
// map through one representation whichever way it came.
//
// A text without an index of its own was most likely edited by hand, and
// mervane-map --compile may be on its way: IndexWait holds the current
// snapshot for up to a second while it looks for the index, then gives up.
//
// Thread safety: LoadSnapshotFor may run on any thread; an IndexWait
// belongs to the one thread holding the filter's check claim.

#ifndef MERVANE_FILTER_SNAPSHOT_SOURCE_H_
#define MERVANE_FILTER_SNAPSHOT_SOURCE_H_

#include <cstdint>
#include <memory>
#include <string>

#include "filter/snapshot.h"
#include "platform/platform.h"

namespace mervane {

// The snapshot of the configuration file at path whose stamp is text:
// its index's when that belongs to the text, else the text's. Null, with
// *failure filled, when the text can be used neither way. When the
// text was read although an index was found wanting, *notice says why the
// index was not used. Throws std::bad_alloc.
std::shared_ptr<const Snapshot> LoadSnapshotFor(const std::string& path,
                                                const platform::FileStamp& text,
                                                Snapshot::LoadFailure* failure,
                                                std::string* notice);

class IndexWait {
 public:
  // How long a text without its index waits for one.
  static constexpr uint64_t kMilliseconds = 1000;

  // True while the text at path whose stamp is text should rather wait for
  // its index than be read: its index names another text, or none, and the
  // wait for this version of the text began less than kMilliseconds ago.
  // Looks at the index's header only when the index changed.
  bool Waits(const std::string& path, const platform::FileStamp& text,
             uint64_t now);

 private:
  platform::FileStamp text_;
  uint64_t deadline_ = 0;
  bool index_seen_ = false;  // index_ holds the stamp of the last look
  platform::FileStamp index_;
};

}  // namespace mervane

#endif  // MERVANE_FILTER_SNAPSHOT_SOURCE_H_
