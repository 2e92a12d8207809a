#include "filter/mapping_filter.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "filter/test_environment.h"
#include "gtest/gtest.h"

namespace mervane {
namespace {

constexpr char kConfigPath[] = "c:\\mervane.cfg";

// One host whose UserDir tells the configurations apart.
std::string Configuration(const std::string& user_dir) {
  return IpText("10.0.0.5", HostText("alpha", user_dir, "SchemeA"),
                "(string)WebRoot=d:\\www\n");
}

Mapping MapAlpha(MappingFilter* filter) {
  FakeServer server("10.0.0.5", "80", "alpha");
  return MapRequest(filter, &server, "/a.htm", WwwrootPath("/a.htm"));
}

// The sleep function of a filter under test: records which threads waited
// and lets the test act once enough of them did, instead of sleeping.
class WaitWatch {
 public:
  MappingFilter::SleepFunction Function() {
    return [this](uint32_t milliseconds) {
      EXPECT_EQ(MappingFilter::kPollMilliseconds, milliseconds);
      std::unique_lock<std::mutex> lock(mutex_);
      waiting_threads_.insert(std::this_thread::get_id());
      changed_.notify_all();
      // Let other threads run before the caller polls again.
      changed_.wait_for(lock, std::chrono::milliseconds(1));
    };
  }

  // Blocks until `count` distinct threads have waited at least once.
  // Returns false when they did not within a minute, which only a fault
  // (a thread that should wait and does not) explains.
  bool AwaitWaitingThreads(size_t count) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::minutes(1),
                             [&] { return waiting_threads_.size() >= count; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::set<std::thread::id> waiting_threads_;
};

class MappingFilterTest : public ::testing::Test {
 protected:
  void WriteConfiguration(const std::string& user_dir) {
    environment_.WriteFile(kConfigPath, Configuration(user_dir));
    environment_.Touch(kConfigPath);
  }
  // Where alpha's /a.htm maps with the configuration of user_dir.
  std::string AlphaPath(const std::string& user_dir) const {
    return environment_.Path("d:\\www\\" + user_dir + "\\a.htm");
  }

  TestEnvironment environment_;
  WaitWatch watch_;
};

TEST_F(MappingFilterTest, WithoutRegistryValueNeverReloads) {
  MappingFilter filter(watch_.Function());
  EXPECT_EQ(nullptr, filter.ConfigRoot());
  // The value and the file appear later; only a new load would see them.
  WriteConfiguration("alpha");
  environment_.SetConfigurationPath(kConfigPath);
  EXPECT_FALSE(filter.ReloadIfChanged());
  EXPECT_EQ(SF_STATUS_REQ_NEXT_NOTIFICATION, MapAlpha(&filter).status);
}

TEST_F(MappingFilterTest, MissingFileIsLoadedOnceCreated) {
  environment_.SetConfigurationPath(kConfigPath);
  MappingFilter filter(watch_.Function());
  EXPECT_NE(nullptr, filter.ConfigRoot());
  EXPECT_EQ(0, filter.Loaded());
  EXPECT_EQ(SF_STATUS_REQ_NEXT_NOTIFICATION, MapAlpha(&filter).status);

  WriteConfiguration("alpha");
  EXPECT_EQ(AlphaPath("alpha"), MapAlpha(&filter).path);
}

TEST_F(MappingFilterTest, TouchedFileReloadsExactlyOnce) {
  environment_.SetConfigurationPath(kConfigPath);
  WriteConfiguration("alpha");
  MappingFilter filter(watch_.Function());
  EXPECT_FALSE(filter.ReloadIfChanged());

  environment_.Touch(kConfigPath);
  EXPECT_TRUE(filter.ReloadIfChanged());
  EXPECT_FALSE(filter.ReloadIfChanged());
  EXPECT_EQ(AlphaPath("alpha"), MapAlpha(&filter).path);
}

// Regression: a path of 260 characters or more was copied into the
// 260-byte path buffer.
TEST_F(MappingFilterTest, OverlongRegistryPathIsRefused) {
  // The lengths are those of the stored value, the path as the environment
  // relocates it.
  const std::string folder = "c:\\" + std::string(150, 'f') + "\\";
  const size_t stored = environment_.Path(folder).size();
  for (size_t length : {259u, 260u}) {
    const std::string path = folder + std::string(length - stored, 'n');
    environment_.SetConfigurationPath(path);
    MappingFilter filter(watch_.Function());
    EXPECT_EQ(length < 260, filter.ConfigRoot() != nullptr) << length;
  }
}

TEST_F(MappingFilterTest, ReloadWaitsForMappingReaders) {
  environment_.SetConfigurationPath(kConfigPath);
  WriteConfiguration("old");
  MappingFilter filter(watch_.Function());
  filter.EnterReader();  // a request being mapped
  const ConfigFile* old_root = filter.ConfigRoot();

  WriteConfiguration("new");
  std::thread reloader([&] { EXPECT_TRUE(filter.ReloadIfChanged()); });
  EXPECT_TRUE(watch_.AwaitWaitingThreads(1));
  // The reader still sees the tree it entered with.
  EXPECT_EQ(old_root, filter.ConfigRoot());
  EXPECT_STREQ("old", old_root->GetSection("10.0.0.5")
                          ->GetSection("VIRTUAL_HOSTS")
                          ->GetSection("alpha")
                          ->GetArray("UserDir")
                          ->FirstString());
  filter.LeaveReader();
  reloader.join();
  EXPECT_EQ(AlphaPath("new"), MapAlpha(&filter).path);
}

TEST_F(MappingFilterTest, TwoThreadsNoticeOneChange) {
  environment_.SetConfigurationPath(kConfigPath);
  WriteConfiguration("old");
  MappingFilter filter(watch_.Function());
  filter.EnterReader();  // keeps the reload pending until both wait

  WriteConfiguration("new");
  std::atomic<int> reloads{0};
  std::string paths[2];
  auto request = [&](int i) {
    if (filter.ReloadIfChanged()) ++reloads;
    paths[i] = MapAlpha(&filter).path;
  };
  std::thread first(request, 0);
  std::thread second(request, 1);
  // One waits for the reader to leave, the other for the reload to end.
  EXPECT_TRUE(watch_.AwaitWaitingThreads(2));
  filter.LeaveReader();
  first.join();
  second.join();

  EXPECT_EQ(1, reloads);
  EXPECT_EQ(AlphaPath("new"), paths[0]);
  EXPECT_EQ(AlphaPath("new"), paths[1]);
}

TEST_F(MappingFilterTest, ExtraLeaveReaderKeepsCountingReaders) {
  environment_.SetConfigurationPath(kConfigPath);
  WriteConfiguration("old");
  MappingFilter filter(watch_.Function());
  filter.LeaveReader();
  filter.LeaveReader();
  filter.EnterReader();  // one reader, not -1

  WriteConfiguration("new");
  std::thread reloader([&] { EXPECT_TRUE(filter.ReloadIfChanged()); });
  EXPECT_TRUE(watch_.AwaitWaitingThreads(1));
  filter.LeaveReader();
  reloader.join();
}

}  // namespace
}  // namespace mervane
