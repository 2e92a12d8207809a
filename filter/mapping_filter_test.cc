#include "filter/mapping_filter.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "filter/test_environment.h"
#include "gtest/gtest.h"
#include "platform/platform.h"

namespace mervane {
namespace {

constexpr char kConfigPath[] = "c:\\mervane.cfg";

struct Mapping {
  DWORD status;
  std::string path;
};

// Maps a request of alpha; the buffer holds 260 bytes or the server's path.
Mapping MapAlpha(MappingFilter* filter, const std::string& url = "/a.htm",
                 const std::string& physical = WwwrootPath("/a.htm"),
                 bool can_allocate = true) {
  FakeServer server("10.0.0.5", "80", "alpha");
  server.can_allocate = can_allocate;
  std::vector<char> buffer(std::max<size_t>(260, physical.size() + 1));
  std::memcpy(buffer.data(), physical.c_str(), physical.size() + 1);
  HTTP_FILTER_URL_MAP record = {url.c_str(), buffer.data(),
                                static_cast<DWORD>(buffer.size())};
  const DWORD status = filter->MapUrl(&server, &server, &record);
  return {status, record.pszPhysicalPath};
}

// Records, through the sleep hook, which threads waited.
class MappingFilterTest : public ::testing::Test {
 protected:
  MappingFilterTest() {
    hooks_.sleep = [this](uint32_t milliseconds) {
      EXPECT_EQ(MappingFilter::kWaitMilliseconds, milliseconds);
      std::unique_lock<std::mutex> lock(mutex_);
      waiting_threads_.insert(std::this_thread::get_id());
      changed_.notify_all();
      changed_.wait_for(lock, std::chrono::milliseconds(1));
    };
  }
  // False when `count` threads did not sleep within a minute.
  bool AwaitWaitingThreads(size_t count) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::minutes(1),
                             [&] { return waiting_threads_.size() >= count; });
  }
  // Replaces the file as saves do, again until its last-write time differs
  // from the last version's: a change even where the clock is coarse.
  void WriteConfiguration(const std::string& user_dir,
                          const std::string& more = "") {
    const std::string text = environment_.Relocated(
        "{ 10.0.0.5:\n{ VIRTUAL_HOSTS:\n{ alpha:\n(string)UserDir=" + user_dir +
        "\n(string)MapScheme=SchemeA\n} alpha;\n} VIRTUAL_HOSTS;\n{ MAIN:\n"
        "(string)WebRoot=d:\\www\n} MAIN;\n} 10.0.0.5;\n" +
        more);
    const std::string path = environment_.Path(kConfigPath);
    std::filesystem::create_directories(
        std::filesystem::path(environment_.Native(kConfigPath)).parent_path());
    for (;;) {
      std::string problem;
      ASSERT_NE(platform::Replacement::kFailed,
                platform::ReplaceFileDurably((path + ".tmp").c_str(),
                                             path.c_str(), text, &problem))
          << problem;
      platform::FileTime written;
      ASSERT_TRUE(platform::QueryLastWriteTime(path.c_str(), &written));
      if (written != last_write_) {
        last_write_ = written;
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  std::string AlphaPath(const std::string& user_dir) const {
    return environment_.Path("d:\\www\\" + user_dir + "\\a.htm");
  }

  TestEnvironment environment_;
  platform::FileTime last_write_;
  MappingFilter::Hooks hooks_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::set<std::thread::id> waiting_threads_;
};

// The registry value is read at the start; its file loads once good.
// Regression: a file nested deeper than any stack holds crashed the server
// that reloaded it; refused, it leaves the filter unloaded until a good one.
TEST_F(MappingFilterTest, RegistryValueIsReadOnceAndItsFileWhenGood) {
  MappingFilter without_value(hooks_);
  environment_.SetConfigurationPath(kConfigPath);
  MappingFilter missing_file(hooks_);
  EXPECT_EQ(SF_STATUS_REQ_NEXT_NOTIFICATION, MapAlpha(&missing_file).status);
  std::string nesting;
  for (int level = 0; level < 200000; ++level) nesting += "{ s:\n";
  WriteConfiguration("alpha", nesting);
  EXPECT_EQ(SF_STATUS_REQ_NEXT_NOTIFICATION, MapAlpha(&missing_file).status);
  WriteConfiguration("alpha");
  EXPECT_EQ(AlphaPath("alpha"), MapAlpha(&missing_file).path);
  EXPECT_FALSE(without_value.ReloadIfChanged());
  EXPECT_EQ(SF_STATUS_REQ_NEXT_NOTIFICATION, MapAlpha(&without_value).status);
  // Without request memory a path too long for the buffer stays as it was.
  const std::string name(300, 'x');
  const std::string physical = environment_.Path("c:\\w\\" + name);
  const Mapping kept = MapAlpha(&missing_file, "/" + name, physical, false);
  EXPECT_EQ(SF_STATUS_REQ_NEXT_NOTIFICATION, kept.status);
  EXPECT_EQ(physical, kept.path);
}

// While one request reads a change, others map with the old tree; the swap
// waits for the reader in flight, arrivals for the swap; one load.
TEST_F(MappingFilterTest, ReloadReadsAsideAndSwapsBetweenReaders) {
  environment_.SetConfigurationPath(kConfigPath);
  WriteConfiguration("old");
  MappingFilter* reloading = nullptr;  // set once the first load is done
  std::string during_read;
  hooks_.before_read = [&] {
    if (reloading != nullptr) during_read = MapAlpha(reloading).path;
  };
  MappingFilter filter(hooks_);
  reloading = &filter;
  filter.LeaveReader();  // an extra leave must not make the reader below 0
  filter.EnterReader();  // a request being mapped
  const Snapshot* old_snapshot = filter.CurrentSnapshot();

  WriteConfiguration("new");
  std::atomic<int> reloads{0};
  std::string paths[2];
  auto request = [&](int i) {
    if (filter.ReloadIfChanged()) ++reloads;
    paths[i] = MapAlpha(&filter).path;
  };
  std::thread first(request, 0);
  ASSERT_TRUE(AwaitWaitingThreads(1));  // the swap waits
  EXPECT_EQ(AlphaPath("old"), during_read);
  std::thread second(request, 1);
  ASSERT_TRUE(AwaitWaitingThreads(2));  // an arrival waits
  EXPECT_EQ(old_snapshot, filter.CurrentSnapshot());
  filter.LeaveReader();
  first.join();
  second.join();

  EXPECT_EQ(1, reloads);
  EXPECT_EQ(AlphaPath("new"), paths[0]);
  EXPECT_EQ(AlphaPath("new"), paths[1]);
}

// Regression guard: the file's time taken after the read would hide a save
// that lands during the read until the file changed again.
TEST_F(MappingFilterTest, SaveDuringReadIsLoadedByTheNextRequest) {
  environment_.SetConfigurationPath(kConfigPath);
  WriteConfiguration("first");
  bool save_during_read = false;
  hooks_.before_read = [&] {
    if (save_during_read) WriteConfiguration("second");
    save_during_read = false;
  };
  MappingFilter filter(hooks_);
  WriteConfiguration("next");
  save_during_read = true;
  EXPECT_TRUE(filter.ReloadIfChanged());
  EXPECT_TRUE(filter.ReloadIfChanged());
  EXPECT_FALSE(filter.ReloadIfChanged());
  EXPECT_EQ(AlphaPath("second"), MapAlpha(&filter).path);
}

// Requests on two threads while the file is replaced again and again map
// by whole versions, never an older one than before, and the last at the end.
TEST_F(MappingFilterTest, RequestsDuringReplacementsSeeWholeVersions) {
  constexpr int kVersions = 30;
  environment_.SetConfigurationPath(kConfigPath);
  WriteConfiguration("v0");
  MappingFilter filter(hooks_);
  std::atomic<bool> done{false};
  std::atomic<int> requests[2] = {0, 0};
  auto map_until_done = [&](std::atomic<int>* requests) {
    int seen = 0;
    while (!done) {
      const Mapping mapping = MapAlpha(&filter);
      int version = -1;
      for (int v = seen; v <= kVersions && version < 0; ++v) {
        if (mapping.path == AlphaPath("v" + std::to_string(v))) version = v;
      }
      ++*requests;
      ASSERT_LE(0, version) << mapping.path << " after v" << seen;
      seen = version;
      // Windows refuses to replace an open file: leave it closed at times.
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  };
  std::thread first(map_until_done, &requests[0]);
  std::thread second(map_until_done, &requests[1]);
  while (requests[0] == 0 || requests[1] == 0) std::this_thread::yield();
  for (int v = 1; v <= kVersions; ++v) {
    WriteConfiguration("v" + std::to_string(v));
  }
  done = true;
  first.join();
  second.join();
  EXPECT_EQ(AlphaPath("v" + std::to_string(kVersions)), MapAlpha(&filter).path);
}

}  // namespace
}  // namespace mervane
