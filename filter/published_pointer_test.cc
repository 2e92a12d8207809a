// PublishedPointer under an interleaving replayed step by step.

#include "filter/published_pointer.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "gtest/gtest.h"

namespace mervane {
namespace {

// Holds the writer and the reader at the steps of one interleaving, each
// until the other has reached its own.
class Replay {
 public:
  enum Event {
    kNone = 0,
    kWriterPublished = 1,  // the second Store raised the generation
    kReaderAtMaster = 2,   // a Load found its slot too old
    kMasterReplaced = 4,   // the third Store replaced the master copy
    kReaderDone = 8,
  };

  // Marks `reached` and waits for `until`; false when it did not come
  // within a generous time: the interleaving cannot be replayed.
  static bool Reach(Event reached, Event until = kNone) {
    std::unique_lock<std::mutex> lock(mutex_);
    events_ |= reached;
    changed_.notify_all();
    return changed_.wait_for(lock, std::chrono::seconds(10),
                             [&] { return (events_ & until) == until; });
  }

  // PublishedPointer's Pause. Steps are counted from the first Store on.
  static void At(PublishStep step) {
    int seen;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      seen = ++seen_[static_cast<int>(step)];
    }
    if (step == PublishStep::kStorePublished && seen == 2) {
      EXPECT_TRUE(Reach(kWriterPublished, kReaderAtMaster));
    } else if (step == PublishStep::kLoadBeforeMaster && seen == 1) {
      EXPECT_TRUE(Reach(kReaderAtMaster, kMasterReplaced));
    } else if (step == PublishStep::kStoreAfterMaster && seen == 3) {
      EXPECT_TRUE(Reach(kMasterReplaced, kReaderDone));
    }
  }

 private:
  static inline std::mutex mutex_;
  static inline std::condition_variable changed_;
  static inline int events_ = kNone;
  static inline int seen_[3] = {};
};

// Regression: the master copy was replaced before the generation was
// raised, so a load that fell back on it returned 3, the next load of the
// same thread 2.
TEST(PublishedPointerTest, NoLoadReturnsAnOlderValueThanAnEarlierLoad) {
  PublishedPointer<int, Replay> pointer;
  pointer.Store(std::make_shared<const int>(1));
  std::thread writer([&] {
    pointer.Store(std::make_shared<const int>(2));
    pointer.Store(std::make_shared<const int>(3));
  });
  EXPECT_TRUE(Replay::Reach(Replay::kNone, Replay::kWriterPublished));
  const int first = *pointer.Load();
  const int second = *pointer.Load();
  Replay::Reach(Replay::kReaderDone);
  writer.join();
  EXPECT_LE(first, second);
  EXPECT_EQ(3, *pointer.Load());
}

}  // namespace
}  // namespace mervane
