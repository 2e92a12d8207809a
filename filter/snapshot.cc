#include "filter/snapshot.h"

#include <utility>

namespace mervane {

std::shared_ptr<const Snapshot> Snapshot::Load(const std::string& path,
                                               std::string* reason) {
  auto root = std::make_unique<ConfigFile>(path.c_str());
  if (!root->Load()) {
    *reason = "the file cannot be read";
    return nullptr;
  }
  return std::shared_ptr<const Snapshot>(new Snapshot(std::move(root)));
}

Snapshot::Snapshot(std::unique_ptr<ConfigFile> root) : root_(std::move(root)) {}

}  // namespace mervane
