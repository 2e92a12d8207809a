#include "filter/snapshot.h"

#include <new>
#include <string>

#include "config/config_text_file.h"
#include "filter/snapshot_builder.h"
#include "platform/platform.h"

namespace mervane {

std::shared_ptr<const Snapshot> Snapshot::Load(const std::string& path,
                                               LoadFailure* failure) {
  std::shared_ptr<const Snapshot> snapshot;
  try {
    ConfigTextFile file(path.c_str(), ConfigTextFile::kRead);
    if (!file.IsOpen()) {
      // The system's text as the open or read failed: read a second time,
      // the file may open, or be another version.
      failure->reason = file.ReadFailure();
      if (failure->reason.empty()) failure->reason = "the file cannot be read";
    } else {
      // The builder refuses only for what the text holds.
      snapshot = Builder::Build(&file, &failure->reason);
      failure->in_content = snapshot == nullptr;
    }
  } catch (const std::bad_alloc&) {
    *failure = {"out of memory", false};
    snapshot.reset();
  }
  // The freed blocks of what the reading held would otherwise stay with
  // the process.
  platform::ReleaseFreeMemory();
  return snapshot;
}

Snapshot::Snapshot() = default;

}  // namespace mervane
