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

#include "filter/parse_place.h"
#include "filter/snapshot.h"
#include "platform/platform.h"

namespace mervane {

struct SourceLoad {
  std::shared_ptr<const Snapshot> snapshot;  // null when none was loaded
  Snapshot::LoadFailure failure;             // why not, unless parse_elsewhere
  // Why the index was not used, when the text was read although an index
  // was found wanting.
  std::string notice;
  // True when the text had to be parsed and place took that elsewhere.
  bool parse_elsewhere = false;
};

// The snapshot of the configuration file at path whose stamp is text:
// its index's when that belongs to the text, else the text's, which is
// parsed only when place (if any) does not take the parse elsewhere.
// Throws std::bad_alloc.
SourceLoad LoadSnapshotFor(const std::string& path,
                           const platform::FileStamp& text, ParsePlace* place);

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
