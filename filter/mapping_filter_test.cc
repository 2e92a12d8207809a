#include "filter/mapping_filter.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "filter/index_file.h"
#include "filter/snapshot_source.h"
#include "filter/test_environment.h"
#include "gtest/gtest.h"
#include "platform/platform.h"

namespace mervane {

// The allocation failure of failing_new_test.cc: when positive, the
// allocation of this thread that brings it to 0 throws std::bad_alloc.
extern thread_local int allocations_until_failure;

namespace {

namespace fs = std::filesystem;

constexpr char kConfigPath[] = "c:\\mervane.cfg";

struct Mapping {
  DWORD status;
  std::string path;
};

// Maps a request of alpha; the buffer holds 260 bytes or the server's path.
Mapping MapAlpha(MappingFilter* filter, const std::string& url = "/a.htm",
                 const std::string& physical = WwwrootPath("/a.htm"),
                 bool can_allocate = true, ParsePlace* place = nullptr) {
  FakeServer server("10.0.0.5", "80", "alpha");
  server.can_allocate = can_allocate;
  std::vector<char> buffer(std::max<size_t>(260, physical.size() + 1));
  std::memcpy(buffer.data(), physical.c_str(), physical.size() + 1);
  HTTP_FILTER_URL_MAP record = {url.c_str(), buffer.data(),
                                static_cast<DWORD>(buffer.size())};
  const DWORD status =
      filter->MapUrl(&server, &server, &record, nullptr, place);
  return {status, record.pszPhysicalPath};
}

// Steers the filter's clock and gathers its reports.
class MappingFilterTest : public ::testing::Test {
 protected:
  MappingFilterTest() {
    hooks_.clock = [this] { return now_.load(); };
    hooks_.report = [this](const char* line) { reports_.push_back(line); };
  }
  void Tick(uint64_t milliseconds = MappingFilter::kCheckMilliseconds) {
    now_ += milliseconds;
  }
  // Replaces the file as saves do: a new identity, whatever the clock, and
  // its index first, unless by_hand. With same_time the new file keeps the
  // last-write time of the one it replaces.
  void WriteConfiguration(const std::string& user_dir,
                          const std::string& more = "",
                          const std::string& path = kConfigPath,
                          bool same_time = false, bool by_hand = false) {
    const std::string text = environment_.Relocated(
        "{ 10.0.0.5:\n{ VIRTUAL_HOSTS:\n{ alpha:\n(string)UserDir=" + user_dir +
        "\n(string)MapScheme=SchemeA\n} alpha;\n} VIRTUAL_HOSTS;\n{ MAIN:\n"
        "(string)WebRoot=d:\\www\n} MAIN;\n} 10.0.0.5;\n" +
        more);
    const std::string target = environment_.Path(path);
    const fs::path native = environment_.Native(path);
    fs::create_directories(native.parent_path());
    // A save keeps the file's mode: every version is readable and writable.
    std::error_code missing;
    fs::permissions(native, fs::perms::owner_read | fs::perms::owner_write,
                    missing);
    const fs::file_time_type old_time =
        same_time ? fs::last_write_time(native) : fs::file_time_type();
    std::string problem;
    ASSERT_NE(
        platform::Replacement::kFailed,
        platform::ReplaceFileDurably(
            (target + ".tmp").c_str(), target.c_str(), text, &problem,
            by_hand ? platform::ReplaceSteps() : IndexWritingSteps(target)))
        << problem;
    if (!same_time) return;
    fs::last_write_time(native, old_time);
    // As the index of a save that came out with that time.
    if (!by_hand) {
      ASSERT_TRUE(CompileIndex(target, &problem)) << problem;
    }
  }
  std::string AlphaPath(const std::string& user_dir) const {
    return environment_.Path("d:\\www\\" + user_dir + "\\a.htm");
  }

  TestEnvironment environment_;
  std::atomic<uint64_t> now_{1000000};
  MappingFilter::Hooks hooks_;
  std::vector<std::string> reports_;  // written by the checking thread
};

// The value and its file are loaded once they exist; a new value is read
// within a second. Regression: a new value was never read.
TEST_F(MappingFilterTest, RegistryValueIsReadAtMostOnceASecond) {
  MappingFilter filter(hooks_);
  EXPECT_EQ(SF_STATUS_REQ_NEXT_NOTIFICATION, MapAlpha(&filter).status);
  environment_.SetConfigurationPath(kConfigPath);
  WriteConfiguration("alpha");
  Tick(MappingFilter::kRegistryMilliseconds - 1);
  EXPECT_EQ(SF_STATUS_REQ_NEXT_NOTIFICATION, MapAlpha(&filter).status);
  Tick();
  EXPECT_EQ(AlphaPath("alpha"), MapAlpha(&filter).path);

  WriteConfiguration("other", "", "c:\\other.cfg");
  environment_.SetConfigurationPath("c:\\other.cfg");
  Tick(MappingFilter::kRegistryMilliseconds - 1);
  EXPECT_EQ(AlphaPath("alpha"), MapAlpha(&filter).path);
  Tick();
  EXPECT_EQ(AlphaPath("other"), MapAlpha(&filter).path);

  // Without request memory a path too long for the buffer stays as it was.
  const std::string name(300, 'x');
  const std::string physical = environment_.Path("c:\\w\\" + name);
  const Mapping kept = MapAlpha(&filter, "/" + name, physical, false);
  EXPECT_EQ(SF_STATUS_REQ_NEXT_NOTIFICATION, kept.status);
  EXPECT_EQ(physical, kept.path);
}

// Regression: a save of the same size within the file clock's tick was
// never loaded. The stamp is compared once a millisecond, not per request.
TEST_F(MappingFilterTest, SameTimeAndSizeSaveIsLoadedWithinAMillisecond) {
  environment_.SetConfigurationPath(kConfigPath);
  WriteConfiguration("v1");
  MappingFilter filter(hooks_);
  EXPECT_EQ(AlphaPath("v1"), MapAlpha(&filter).path);
  WriteConfiguration("v2", "", kConfigPath, true);
  EXPECT_EQ(AlphaPath("v1"), MapAlpha(&filter).path);
  Tick();
  EXPECT_EQ(AlphaPath("v2"), MapAlpha(&filter).path);
}

// Regression: a file that failed to load replaced the working
// configuration, and every host got the main site until the next save.
// Regression: a load that the system failed for a moment (no free
// descriptor, out of memory) was never tried again, and the process kept
// the old configuration until the next save.
TEST_F(MappingFilterTest, FailedLoadsKeepTheLastGoodSnapshot) {
  std::string nesting;
  for (int level = 0; level < 200000; ++level) nesting += "{ s:\n";
  int reads = 0;
  std::function<void()> spoil_read;
  hooks_.before_read = [&] {
    ++reads;
    if (spoil_read) std::exchange(spoil_read, nullptr)();
  };
  const struct {
    const char* name;
    std::function<bool()> spoil;  // false: the platform cannot
    size_t reports;
    const char* reason;       // in the report; null: the system's text
    bool retried;             // read again after the first delay
    const char* after_retry;  // the user dir mapped then
  } cases[] = {
      {"nested too deep",
       [&] {
         WriteConfiguration("deep", nesting, kConfigPath, false, true);
         return true;
       },
       1, "nested deeper than 64 sections", false, "good"},
      {"unreadable",
       [this] {
         WriteConfiguration("hidden", "", kConfigPath, false, true);
         fs::permissions(environment_.Native(kConfigPath), fs::perms::none);
         // An administrator reads every file.
         return !std::ifstream(environment_.Native(kConfigPath)).is_open();
       },
       1, nullptr, true, "good"},
      {"deleted",
       [this] { return fs::remove(environment_.Native(kConfigPath)); }, 0,
       nullptr, false, "good"},
      {"out of memory",
       [&] {
         WriteConfiguration("saved", "", kConfigPath, false, true);
         spoil_read = [] { allocations_until_failure = 1; };
         return true;
       },
       1, "out of memory", true, "saved"},
      {"no free descriptor",
       [&] {
         WriteConfiguration("saved", "", kConfigPath, false, true);
         // Taken at the read, past the wait for an index.
         if (!TakeAllDescriptors()) return false;
         GiveDescriptorsBack();
         spoil_read = [] { TakeAllDescriptors(); };
         return true;
       },
       1, std::strerror(EMFILE), true, "saved"},
  };
  environment_.SetConfigurationPath(kConfigPath);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    reports_.clear();
    WriteConfiguration("good");
    MappingFilter filter(hooks_);
    if (!c.spoil()) continue;
    // The spoiled versions have no index: the first check waits for one,
    // the one after the wait reads the text.
    Tick();
    EXPECT_EQ(AlphaPath("good"), MapAlpha(&filter).path);
    Tick(IndexWait::kMilliseconds);
    EXPECT_EQ(AlphaPath("good"), MapAlpha(&filter).path);
    GiveDescriptorsBack();
    const int reads_before = reads;
    Tick(MappingFilter::kFirstRetryMilliseconds - 1);
    EXPECT_EQ(AlphaPath("good"), MapAlpha(&filter).path);
    Tick();
    EXPECT_EQ(AlphaPath(c.after_retry), MapAlpha(&filter).path);
    EXPECT_EQ(c.retried, reads > reads_before);
    // Once for the version, however often it is tried.
    Tick(MappingFilter::kLastRetryMilliseconds);
    MapAlpha(&filter);
    // The text read without an index is reported too; here only failures
    // count.
    const auto failures = std::count_if(
        reports_.begin(), reports_.end(), [](const std::string& report) {
          return report.find("was not loaded") != std::string::npos;
        });
    ASSERT_EQ(c.reports, static_cast<size_t>(failures));
    if (c.reports > 0) {
      EXPECT_NE(std::string::npos,
                reports_[0].find(environment_.Path(kConfigPath)))
          << reports_[0];
    }
    if (c.reason != nullptr) {
      EXPECT_NE(std::string::npos,
                reports_[0].find(std::string("(") + c.reason + ")"))
          << reports_[0];
    }
    WriteConfiguration("next");
    Tick();
    EXPECT_EQ(AlphaPath("next"), MapAlpha(&filter).path);
  }
}

// A hand edit keeps the last snapshot for up to a second while its index
// may come from mervane-map --compile; without one it is read from its
// text, and that is reported once.
TEST_F(MappingFilterTest, HandEditsWaitASecondForTheirIndex) {
  environment_.SetConfigurationPath(kConfigPath);
  WriteConfiguration("v1");
  MappingFilter filter(hooks_);
  WriteConfiguration("v2", "", kConfigPath, false, true);
  Tick();
  EXPECT_EQ(AlphaPath("v1"), MapAlpha(&filter).path);
  std::string problem;
  ASSERT_TRUE(CompileIndex(environment_.Path(kConfigPath), &problem))
      << problem;
  Tick();
  EXPECT_EQ(AlphaPath("v2"), MapAlpha(&filter).path);
  EXPECT_TRUE(reports_.empty());

  WriteConfiguration("v3", "", kConfigPath, false, true);
  Tick();
  EXPECT_EQ(AlphaPath("v2"), MapAlpha(&filter).path);
  Tick(IndexWait::kMilliseconds - 1);
  EXPECT_EQ(AlphaPath("v2"), MapAlpha(&filter).path);
  for (int check = 0; check < 3; ++check) {
    Tick();
    EXPECT_EQ(AlphaPath("v3"), MapAlpha(&filter).path);
  }
  ASSERT_EQ(1u, reports_.size());
  EXPECT_NE(std::string::npos, reports_[0].find(".index")) << reports_[0];
}

// An event loop's request whose check must parse a text maps nothing and is
// delivered again from a thread that may block, whose check is due at once
// and parses it; an index is mapped on the loop without asking.
TEST_F(MappingFilterTest, EventLoopsLeaveTheParseToAnotherThread) {
  environment_.SetConfigurationPath(kConfigPath);
  WriteConfiguration("v1");
  MappingFilter filter(hooks_);
  FixedParsePlace loop(true);
  FixedParsePlace worker(false);
  const auto map_on = [&](ParsePlace* place) {
    return MapAlpha(&filter, "/a.htm", WwwrootPath("/a.htm"), true, place);
  };
  WriteConfiguration("v2");
  Tick();
  EXPECT_EQ(AlphaPath("v2"), map_on(&loop).path);
  EXPECT_EQ(0, loop.asked);

  WriteConfiguration("v3", "", kConfigPath, false, true);
  Tick();
  EXPECT_EQ(AlphaPath("v2"), map_on(&loop).path);
  Tick(IndexWait::kMilliseconds);
  const Mapping left = map_on(&loop);
  EXPECT_EQ(SF_STATUS_REQ_NEXT_NOTIFICATION, left.status);
  EXPECT_EQ(WwwrootPath("/a.htm"), left.path);
  EXPECT_EQ(1, loop.asked);
  EXPECT_EQ(AlphaPath("v3"), map_on(&worker).path);
  EXPECT_EQ(1, worker.asked);
  Tick();
  EXPECT_EQ(AlphaPath("v3"), map_on(&loop).path);
  EXPECT_EQ(1, loop.asked);
}

// Regression: a failed allocation while a request checked the file left
// it counted as a reader for good, and one while reading left the reload
// claimed for good: the process hung or never reloaded again. Each
// allocation of a check fails in turn, with a new version each time.
TEST_F(MappingFilterTest, AllocationFailuresKeepTheLastGoodSnapshot) {
  environment_.SetConfigurationPath(kConfigPath);
  WriteConfiguration("v0");
  MappingFilter filter(hooks_);
  std::string last = AlphaPath("v0");
  bool failed = true;
  for (int n = 1; failed && n < 10000; ++n) {
    const std::string version = "v" + std::to_string(n);
    WriteConfiguration(version);
    Tick(MappingFilter::kRegistryMilliseconds);
    allocations_until_failure = n;
    filter.ReloadIfChanged();
    failed = allocations_until_failure == 0;
    allocations_until_failure = 0;
    Tick();
    const std::string path = MapAlpha(&filter).path;
    ASSERT_TRUE(path == last || path == AlphaPath(version))
        << path << " after " << n << " allocations";
    if (!failed) {
      EXPECT_EQ(AlphaPath(version), path);
    }
    last = path;
  }
  EXPECT_FALSE(failed);
  EXPECT_LT(0u, reports_.size()) << "no failure met the load itself";
  for (const std::string& report : reports_) {
    EXPECT_NE(std::string::npos, report.find("out of memory")) << report;
  }
}

// While one request loads a change, the others map with the snapshot they
// have, without waiting and without loading it a second time.
TEST_F(MappingFilterTest, OnlyTheLoadingRequestWaitsForTheLoad) {
  environment_.SetConfigurationPath(kConfigPath);
  WriteConfiguration("old");
  std::atomic<int> reads{0};
  std::promise<void> loading;
  std::promise<void> release;
  hooks_.before_read = [&] {
    if (++reads != 2) return;
    loading.set_value();
    release.get_future().wait();
  };
  MappingFilter filter(hooks_);
  WriteConfiguration("new");
  Tick();
  std::string loaded;
  std::thread loader([&] { loaded = MapAlpha(&filter).path; });
  loading.get_future().wait();
  for (int check = 0; check < 2; ++check, Tick()) {
    EXPECT_EQ(AlphaPath("old"), MapAlpha(&filter).path);
  }
  release.set_value();
  loader.join();
  EXPECT_EQ(AlphaPath("new"), loaded);
  for (int check = 0; check < 2; ++check, Tick()) {
    EXPECT_EQ(AlphaPath("new"), MapAlpha(&filter).path);
  }
  EXPECT_EQ(2, reads);
}

// Regression guard: the file's stamp taken after the read would hide a
// save that lands during the read until the file changed again.
TEST_F(MappingFilterTest, SaveDuringReadIsLoadedByTheNextCheck) {
  environment_.SetConfigurationPath(kConfigPath);
  WriteConfiguration("first");
  std::atomic<bool> save_during_read{false};
  hooks_.before_read = [&] {
    if (save_during_read.exchange(false)) WriteConfiguration("second");
  };
  MappingFilter filter(hooks_);
  WriteConfiguration("next");
  save_during_read = true;
  EXPECT_TRUE(filter.ReloadIfChanged());
  EXPECT_TRUE(filter.ReloadIfChanged());
  EXPECT_FALSE(filter.ReloadIfChanged());
  EXPECT_EQ(AlphaPath("second"), MapAlpha(&filter).path);
}

// Requests on two threads, on the server's clock, while the file is
// replaced again and again map by whole versions, never an older one than
// before, and the last at the end.
TEST_F(MappingFilterTest, RequestsDuringReplacementsSeeWholeVersions) {
  constexpr int kVersions = 30;
  environment_.SetConfigurationPath(kConfigPath);
  WriteConfiguration("v0");
  MappingFilter filter;
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
    }
  };
  std::thread first(map_until_done, &requests[0]);
  std::thread second(map_until_done, &requests[1]);
  while (requests[0] == 0 || requests[1] == 0) std::this_thread::yield();
  for (int v = 1; v <= kVersions; ++v) {
    WriteConfiguration("v" + std::to_string(v));
  }
  // A check after the last save sees it: past the interval and the clock's
  // coarse tick.
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  done = true;
  first.join();
  second.join();
  EXPECT_EQ(AlphaPath("v" + std::to_string(kVersions)), MapAlpha(&filter).path);
}

}  // namespace
}  // namespace mervane
