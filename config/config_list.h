// ConfigList: a node that owns an indexed list of child nodes.
//
// Indices are 1-based; 0 means none. A child keeps its slot for its whole
// life; Remove leaves a hole that the next Add refills (lowest hole first),
// so Count() includes holes and enumeration must skip null results of At().
// Names are unique within a list without regard to letter case; unnamed
// children are exempt and can never be found by name.
//
// Finding a child by name costs the same for a list of ten children as for
// one of a hundred thousand: past a few children the list keeps a name
// index, which is always complete when Add returns.
//
// Thread safety: as ConfigNode. Lookups never modify the list.

#ifndef MERVANE_CONFIG_CONFIG_LIST_H_
#define MERVANE_CONFIG_CONFIG_LIST_H_

#include <memory>
#include <vector>

#include "config/config_node.h"

namespace mervane {

class ConfigList : public ConfigNode {
 public:
  ConfigList();
  explicit ConfigList(const char* name);
  // A deep copy, as Clone.
  ConfigList(const ConfigList& other);
  ~ConfigList() override;

  // Virtual operations, in slot order (0 to 4).
  // A new list of the same class and name with a clone of every child, added
  // in slot order: holes are dropped and indices close up.
  ConfigNode* Clone() const override;
  // Generic writer: each child as a section of its own name. Returns Count().
  int Write(ConfigStream* stream) override;
  // Generic reader: a child made by CreateChild for every section met.
  // Returns 1 when the list holds anything afterwards.
  int Read(ConfigStream* stream) override;
  // Factory for Read: a plain ConfigNode of that name.
  virtual ConfigNode* CreateChild(ConfigStream* stream, const char* name);

  // Slots in use, holes included.
  int Count() const { return static_cast<int>(items_.size()); }
  // The child in that slot; null for an index out of range or a hole.
  ConfigNode* At(int index) const;
  // The index of the first child in slot order whose name equals name
  // without regard to case; 0 when name is null or nothing matches.
  int IndexOf(const char* name) const;
  ConfigNode* Find(const char* name) const { return At(IndexOf(name)); }
  // Takes ownership of child and returns its index; returns 0 (the caller
  // keeps child) when child is null, a child of that name exists, or the
  // list may not be changed.
  int Add(ConfigNode* child);
  // Destroys the child at index and leaves a hole. Returns index, or 0 when
  // the slot is out of range or empty, or the list may not be changed.
  int Remove(int index);
  int RemoveByName(const char* name);

 private:
  friend class ConfigNode;
  class NameIndex;

  // Keep the name index in step with a child's name; a renamed child is
  // unindexed under its old name and indexed under its new one.
  void UnindexChild(const ConfigNode* child);
  void IndexChild(const ConfigNode* child);
  void BuildIndexWhenLong();
  // The lowest empty slot at or above `from`, or 0 when there is none.
  int LowestHoleFrom(int from) const;

  std::vector<std::unique_ptr<ConfigNode>> items_;  // slot i at [i - 1]
  int free_slot_ = 0;  // lowest hole, 1-based; 0 when there is none
  std::unique_ptr<NameIndex> index_;  // null while the list is short
};

}  // namespace mervane

#endif  // MERVANE_CONFIG_CONFIG_LIST_H_
