// PublishedPointer: a shared_ptr that one writer replaces while many
// threads take references to it at once, as every request takes the
// filter's current state. One shared_ptr read through std::atomic_load
// makes every reader take the same lock and count on the same cache line,
// so that two threads map at little more than the speed of one. Here each
// thread reads a copy in a slot of its own, chosen by its thread id, with a
// lock and a reference count of that slot's own; a slot that the writer has
// not reached yet is passed over for the master copy.
//
// Thread safety: Load from any thread at any time; Store from one thread at
// a time. A Load that starts after a Store has returned sees its value or a
// later one, and a Load never returns an older value than a Load that ended
// before it started, whatever threads the two ran on, because a Store
//
//   1. raises generation_ before it writes its value anywhere: no copy is
//      ever newer than generation_, so a later Load reads a generation at
//      least as new as any value an earlier one returned;
//   2. then replaces the master copy, and only then the slots: a slot is
//      never newer than the master, so the master that a Load falls back on
//      is at least as new as any slot an earlier Load returned.
//
// A Load returns its slot when the slot holds the generation it read or a
// later one, else the master copy.

#ifndef MERVANE_FILTER_PUBLISHED_POINTER_H_
#define MERVANE_FILTER_PUBLISHED_POINTER_H_

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

namespace mervane {

// The moments between two steps of a Load or a Store at which a test may
// hold the thread, to replay an interleaving (PublishedPointer's Pause).
enum class PublishStep {
  kLoadBeforeMaster,  // a Load found its slot too old
  kStorePublished,    // a Store raised the generation
  kStoreAfterMaster,  // a Store replaced the master copy
};

// The server's Pause: no moment is held.
struct NoPause {
  static void At(PublishStep) {}
};

template <typename T, typename Pause = NoPause>
class PublishedPointer {
 public:
  PublishedPointer() = default;
  PublishedPointer(const PublishedPointer&) = delete;
  PublishedPointer& operator=(const PublishedPointer&) = delete;

  std::shared_ptr<const T> Load() const {
    const uint64_t published = generation_.load(std::memory_order_acquire);
    const Slot& slot = slots_[SlotOfThisThread()];
    {
      std::lock_guard<std::mutex> lock(slot.mutex);
      if (slot.generation >= published) return slot.value;
    }
    Pause::At(PublishStep::kLoadBeforeMaster);
    std::lock_guard<std::mutex> lock(master_.mutex);
    return master_.value;
  }

  void Store(std::shared_ptr<const T> value) {
    const uint64_t generation = generation_.load(std::memory_order_relaxed) + 1;
    generation_.store(generation, std::memory_order_release);
    Pause::At(PublishStep::kStorePublished);
    Put(&master_, value, generation);
    Pause::At(PublishStep::kStoreAfterMaster);
    for (Slot& slot : slots_) Put(&slot, WithOwnCount(value), generation);
  }

 private:
  static constexpr size_t kSlotBits = 4;

  // One copy, alone on its cache line.
  struct alignas(64) Slot {
    mutable std::mutex mutex;
    std::shared_ptr<const T> value;
    uint64_t generation = 0;  // of the Store that put value here
  };

  // The old value is released after the lock, so that no reader waits for
  // its destruction.
  static void Put(Slot* slot, std::shared_ptr<const T> value,
                  uint64_t generation) {
    {
      std::lock_guard<std::mutex> lock(slot->mutex);
      std::swap(slot->value, value);
      slot->generation = generation;
    }
  }

  // A reference to value counted apart from every other slot's: it owns a
  // reference of its own to value.
  static std::shared_ptr<const T> WithOwnCount(
      const std::shared_ptr<const T>& value) {
    if (value == nullptr) return value;
    return std::shared_ptr<const T>(
        std::make_shared<const std::shared_ptr<const T>>(value), value.get());
  }

  // Thread ids are often aligned addresses or small counters: a Fibonacci
  // hash spreads both over the slots.
  static size_t SlotOfThisThread() {
    const uint64_t id =
        std::hash<std::thread::id>()(std::this_thread::get_id());
    return static_cast<size_t>((id * 0x9E3779B97F4A7C15ULL) >>
                               (64 - kSlotBits));
  }

  Slot master_;
  Slot slots_[size_t{1} << kSlotBits];
  // Of the last Store; read by every Load, written only by Store.
  alignas(64) std::atomic<uint64_t> generation_{0};
};

}  // namespace mervane

#endif  // MERVANE_FILTER_PUBLISHED_POINTER_H_
