// NameTable: a flat, open-addressed hash table from a name within a scope to
// a small record, for the snapshot's lookups. Names live in a text arena that
// the table's owner keeps; the table holds their offsets. Names are matched
// as the configuration tree matches them (ASCII letters without regard to
// case), so a lookup here finds what the tree's lookup of the same name
// found.
//
// One probe sequence in one contiguous array: a lookup touches a slot or two
// and the name's text, however many names the table holds.
//
// Thread safety: filled by one thread; afterwards any number of threads may
// call Find at once.

#ifndef MERVANE_FILTER_NAME_TABLE_H_
#define MERVANE_FILTER_NAME_TABLE_H_

#include <cstddef>
#include <cstdint>

#include "config/config_node.h"
#include "filter/page_allocator.h"

namespace mervane {

template <typename Record>
class NameTable {
 public:
  struct Entry {
    uint32_t name;  // offset of the name in the arena; 0 in an empty slot
    Record record;
  };

  // Sets the record of the name at arena offset `name` (never 0, never an
  // empty text) in scope, adding the name unless it is there already; an
  // entry keeps the spelling it was added with, as a node of the tree does.
  // Takes the arena itself, not its data: an argument computed by growing
  // the arena would leave a pointer taken before it dangling.
  void Insert(const PageVector<char>& arena, uint32_t scope, uint32_t name,
              const Record& record) {
    if (2 * (count_ + 1) > slots_.size()) Grow();
    const char* text = arena.data();
    const uint32_t hash = HashOf(scope, text + name);
    Slot& slot = slots_[SlotOf(text, scope, text + name, hash)];
    if (slot.entry.name == 0) {
      slot = Slot{hash, scope, Entry{name, record}};
      ++count_;
    }
    slot.entry.record = record;
  }

  // Calls visit(scope, entry) for every entry; visit may change the record.
  template <typename Visit>
  void ForEach(Visit visit) {
    for (Slot& slot : slots_) {
      if (slot.entry.name != 0) visit(slot.scope, &slot.entry);
    }
  }

  // The entry of name in scope, or null when there is none.
  const Entry* Find(const char* arena, uint32_t scope, const char* name) const {
    if (SlotCount() == 0) return nullptr;
    const Slot& slot = Slots()[SlotOf(arena, scope, name, HashOf(scope, name))];
    return slot.entry.name != 0 ? &slot.entry : nullptr;
  }

  // The slots as they lie in memory, for an image of the table; a table
  // viewing slots gives those.
  const void* SlotBytes() const { return Slots(); }
  size_t SlotBytesSize() const { return SlotCount() * sizeof(Slot); }
  static size_t SlotSize() { return sizeof(Slot); }

  // Makes the table find its entries in the slots at bytes (SlotBytes of a
  // filled table, kept by the caller for the table's life), no longer in
  // its own. False, leaving the table as it was, when they cannot be such
  // slots: not a whole power of two of them, or none of them empty, which
  // would leave a lookup of a missing name without end.
  bool View(const void* bytes, size_t size) {
    const size_t count = size / sizeof(Slot);
    if (size % sizeof(Slot) != 0 || (count & (count - 1)) != 0) return false;
    const auto* slots = static_cast<const Slot*>(bytes);
    size_t empty = 0;
    while (empty < count && slots[empty].entry.name != 0) ++empty;
    if (count != 0 && empty == count) return false;
    view_ = slots;
    view_count_ = count;
    return true;
  }

 private:
  struct Slot {
    uint32_t hash;
    uint32_t scope;
    Entry entry;
  };

  const Slot* Slots() const { return view_ != nullptr ? view_ : slots_.data(); }
  size_t SlotCount() const {
    return view_ != nullptr ? view_count_ : slots_.size();
  }

  static uint32_t HashOf(uint32_t scope, const char* name) {
    uint64_t hash =
        HashNameIgnoringCase(name) ^ (uint64_t{scope} * 0x9E3779B97F4A7C15ull);
    // The name hash's low bits vary little between similar names; the
    // slot is chosen by them.
    hash ^= hash >> 33;
    hash *= 0xFF51AFD7ED558CCDull;
    hash ^= hash >> 33;
    return static_cast<uint32_t>(hash);
  }

  // The index of the slot holding name in scope, or of the empty slot where
  // it would go.
  size_t SlotOf(const char* arena, uint32_t scope, const char* name,
                uint32_t hash) const {
    const Slot* slots = Slots();
    const size_t mask = SlotCount() - 1;
    for (size_t at = hash & mask;; at = (at + 1) & mask) {
      const Slot& slot = slots[at];
      if (slot.entry.name == 0 ||
          (slot.hash == hash && slot.scope == scope &&
           CompareNamesIgnoringCase(arena + slot.entry.name, name) == 0)) {
        return at;
      }
    }
  }

  // Doubles the slots (a power of two, at most half of them in use), placing
  // each entry again by its stored hash.
  void Grow() {
    PageVector<Slot> old(slots_.empty() ? 8 : 2 * slots_.size());
    old.swap(slots_);
    const size_t mask = slots_.size() - 1;
    for (const Slot& slot : old) {
      if (slot.entry.name == 0) continue;
      size_t at = slot.hash & mask;
      while (slots_[at].entry.name != 0) at = (at + 1) & mask;
      slots_[at] = slot;
    }
  }

  PageVector<Slot> slots_;
  size_t count_ = 0;
  const Slot* view_ = nullptr;  // slots of an image, when it views one
  size_t view_count_ = 0;
};

}  // namespace mervane

#endif  // MERVANE_FILTER_NAME_TABLE_H_
