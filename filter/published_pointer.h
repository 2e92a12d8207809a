// PublishedPointer: a shared_ptr that one writer replaces while many
// threads take references to it at once, as every request takes the
// filter's current state. One shared_ptr read through std::atomic_load
// makes every reader take the same lock and count on the same cache line,
// so that two threads map at little more than the speed of one. Here each
// thread reads a copy in a slot of its own, chosen by its thread id, with a
// lock and a reference count of that slot's own.
//
// Thread safety: Load from any thread at any time; Store from one thread at
// a time. A Load that starts after a Store has returned sees its value or a
// later one, and a Load never returns an older value than a Load that
// ended before it started, whatever threads the two ran on: a slot that the
// writer has not reached yet is passed over for the master copy.

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

template <typename T>
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
    std::lock_guard<std::mutex> lock(master_.mutex);
    return master_.value;
  }

  void Store(std::shared_ptr<const T> value) {
    const uint64_t generation = generation_.load(std::memory_order_relaxed) + 1;
    Put(&master_, value, generation);
    generation_.store(generation, std::memory_order_release);
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
