#include "config/config_list.h"

#include <unordered_map>
#include <utility>

#include "config/config_stream.h"

namespace mervane {

namespace {

// Lists up to this many slots are searched one by one; longer ones keep a
// name index.
constexpr int kLongestUnindexedList = 8;

struct NameHash {
  size_t operator()(const char* name) const {
    return HashNameIgnoringCase(name);
  }
};

struct NameEqual {
  bool operator()(const char* a, const char* b) const {
    return CompareNamesIgnoringCase(a, b) == 0;
  }
};

}  // namespace

// Slots of the named children by name. The keys point at the children's own
// name texts, so a child leaves the index before its name changes or it is
// destroyed. Two children share a name only after a rename; lookups then
// take the lowest slot, as a search in slot order would.
class ConfigList::NameIndex {
 public:
  void Insert(const ConfigNode* child, int slot) {
    slots_.emplace(child->Name(), slot);
  }

  void Erase(const ConfigNode* child, int slot) {
    auto range = slots_.equal_range(child->Name());
    for (auto it = range.first; it != range.second; ++it) {
      if (it->second == slot) {
        slots_.erase(it);
        return;
      }
    }
  }

  int Lookup(const char* name) const {
    auto range = slots_.equal_range(name);
    int lowest = 0;
    for (auto it = range.first; it != range.second; ++it) {
      if (lowest == 0 || it->second < lowest) lowest = it->second;
    }
    return lowest;
  }

 private:
  std::unordered_multimap<const char*, int, NameHash, NameEqual> slots_;
};

ConfigList::ConfigList() = default;

ConfigList::ConfigList(const char* name) : ConfigNode(name) {}

ConfigList::ConfigList(const ConfigList& other) : ConfigNode(other) {
  for (const auto& child : other.items_) {
    if (child == nullptr) continue;
    ConfigNode* copy = child->Clone();
    if (Add(copy) == 0) delete copy;
  }
}

ConfigList::~ConfigList() {
  // Children are destroyed in slot order.
  for (auto& child : items_) child.reset();
}

ConfigNode* ConfigList::Clone() const { return new ConfigList(*this); }

int ConfigList::Write(ConfigStream* stream) {
  for (const auto& child : items_) {
    if (child == nullptr) continue;
    stream->BeginSection(child->Name());
    child->Write(stream);
    stream->EndSection();
  }
  return Count();
}

int ConfigList::Read(ConfigStream* stream) {
  stream->RestartSection();
  while (stream->FindNextSection()) {
    std::unique_ptr<ConfigNode> child(
        CreateChild(stream, stream->ParsedName(nullptr)));
    if (child != nullptr && Add(child.get()) != 0) child.release();
    stream->SkipSection();
  }
  return Count() != 0 ? 1 : 0;
}

ConfigNode* ConfigList::CreateChild(ConfigStream*, const char* name) {
  return new ConfigNode(name);
}

ConfigNode* ConfigList::At(int index) const {
  if (index < 1 || index > Count()) return nullptr;
  return items_[index - 1].get();
}

int ConfigList::IndexOf(const char* name) const {
  if (name == nullptr) return 0;
  if (index_ != nullptr) return index_->Lookup(name);
  for (int slot = 1; slot <= Count(); ++slot) {
    const ConfigNode* child = items_[slot - 1].get();
    if (child != nullptr && child->Name() != nullptr &&
        CompareNamesIgnoringCase(child->Name(), name) == 0) {
      return slot;
    }
  }
  return 0;
}

int ConfigList::Add(ConfigNode* child) {
  if (child == nullptr || IsReadOnly()) return 0;
  if (Find(child->Name()) != nullptr) return 0;
  int slot;
  if (free_slot_ == 0) {
    items_.emplace_back(child);
    slot = Count();
  } else {
    slot = free_slot_;
    items_[slot - 1].reset(child);
    free_slot_ = LowestHoleFrom(slot + 1);
  }
  child->owner_ = this;
  child->slot_ = slot;
  IndexChild(child);
  BuildIndexWhenLong();
  return slot;
}

int ConfigList::Remove(int index) {
  ConfigNode* child = At(index);
  if (child == nullptr || IsReadOnly()) return 0;
  UnindexChild(child);
  items_[index - 1].reset();
  if (free_slot_ == 0 || index < free_slot_) free_slot_ = index;
  return index;
}

int ConfigList::RemoveByName(const char* name) { return Remove(IndexOf(name)); }

void ConfigList::UnindexChild(const ConfigNode* child) {
  if (index_ != nullptr && child->Name() != nullptr) {
    index_->Erase(child, child->slot_);
  }
}

void ConfigList::IndexChild(const ConfigNode* child) {
  if (index_ != nullptr && child->Name() != nullptr) {
    index_->Insert(child, child->slot_);
  }
}

void ConfigList::BuildIndexWhenLong() {
  if (index_ != nullptr || Count() <= kLongestUnindexedList) return;
  index_ = std::make_unique<NameIndex>();
  for (const auto& child : items_) {
    if (child != nullptr) IndexChild(child.get());
  }
}

int ConfigList::LowestHoleFrom(int from) const {
  for (int slot = from; slot <= Count(); ++slot) {
    if (items_[slot - 1] == nullptr) return slot;
  }
  return 0;
}

}  // namespace mervane
