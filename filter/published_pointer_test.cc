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
// until the other has reached its own step.
class Replay {
 public:
  enum Event {
    kWriterPublished = 1,  // the second Store raised the generation
    kReaderAtMaster = 2,   // a Load found its slot too old
    kMasterReplaced = 4,   // the third Store replaced the master copy
    kReaderDone = 8,
  };

  static void Happen(Event event) {
    std::lock_guard<std::mutex> lock(mutex_);
    events_ |= event;
    changed_.notify_all();
  }

  // False when the event did not happen within a generous time: the
  // interleaving cannot be replayed.
  static bool Await(Event event) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(10),
                             [&] { return (events_ & event) != 0; });
  }

  // PublishedPointer's Pause: holds at the first Store's publication, the
  // first fall-back on the master copy and the second Store's master copy
  // after Start.
  static void At(PublishStep step) {
    int seen;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!started_) return;
      seen = ++seen_[static_cast<int>(step)];
    }
    if (step == PublishStep::kStorePublished && seen == 1) {
      Happen(kWriterPublished);
      EXPECT_TRUE(Await(kReaderAtMaster));
    } else if (step == PublishStep::kLoadBeforeMaster && seen == 1) {
      Happen(kReaderAtMaster);
      EXPECT_TRUE(Await(kMasterReplaced));
    } else if (step == PublishStep::kStoreAfterMaster && seen == 2) {
      Happen(kMasterReplaced);
      EXPECT_TRUE(Await(kReaderDone));
    }
  }

  static void Start() {
    std::lock_guard<std::mutex> lock(mutex_);
    started_ = true;
  }

 private:
  static inline std::mutex mutex_;
  static inline std::condition_variable changed_;
  static inline int events_ = 0;
  static inline bool started_ = false;
  static inline int seen_[3] = {};
};

// Regression: the master copy was replaced before the generation was
// raised, so a load that fell back on it returned 3, the next load of the
// same thread 2.
TEST(PublishedPointerTest, NoLoadReturnsAnOlderValueThanAnEarlierLoad) {
  PublishedPointer<int, Replay> pointer;
  pointer.Store(std::make_shared<const int>(1));
  Replay::Start();
  std::thread writer([&] {
    pointer.Store(std::make_shared<const int>(2));
    pointer.Store(std::make_shared<const int>(3));
  });
  ASSERT_TRUE(Replay::Await(Replay::kWriterPublished));
  const int first = *pointer.Load();
  const int second = *pointer.Load();
  Replay::Happen(Replay::kReaderDone);
  writer.join();
  EXPECT_LE(first, second);
  EXPECT_EQ(3, *pointer.Load());
}

}  // namespace
}  // namespace mervane
