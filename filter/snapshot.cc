#include "filter/snapshot.h"

#include <new>
#include <string>

#include "config/config_text_file.h"
#include "filter/snapshot_builder.h"
#include "platform/platform.h"

namespace mervane {

std::shared_ptr<const Snapshot> Snapshot::Load(const std::string& path,
                                               std::string* reason) {
  std::shared_ptr<const Snapshot> snapshot;
  try {
    ConfigTextFile file(path.c_str(), ConfigTextFile::kRead);
    if (file.IsOpen()) {
      snapshot = Builder::Build(&file, reason);
    } else {
      *reason = platform::LastErrorText();
    }
  } catch (const std::bad_alloc&) {
    *reason = "out of memory";
    snapshot.reset();
  }
  // The freed blocks of what the reading held would otherwise stay with
  // the process.
  platform::ReleaseFreeMemory();
  return snapshot;
}

Snapshot::Snapshot() = default;

}  // namespace mervane
