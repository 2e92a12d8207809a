// The reload under load. Two threads map requests through the built filter
// library's exports, as a server's threads do, while a writer replaces the
// configuration file with complete new versions: 1 host x 1,000
// replacements 2 ms apart, and 100,000 hosts x 20 replacements 1 s apart.
// For each case it prints the latencies of the requests without and during
// the replacements, the requests that waited, each thread's time blocked
// and its fewest requests in any 100 ms, the torn or failed mappings and
// whether the last version is served at the end.
//
//   reload_bench [--library PATH] [HOSTS REPLACEMENTS INTERVAL_MS]
//
// --library measures another build of the filter, an older one for example.
//
// Every version N sets the IP's WebRoot to d:\wN and the probe host's
// UserDir to vN, so that a request maps to d:\wN\vN\a.htm: two numbers in
// one path would be a torn configuration, a smaller number than a thread
// saw before a step back.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "bench/config/config_generator.h"
#include "bench/filter/library_flag.h"
#include "config/config_schema.h"
#include "config/config_section.h"
#include "filter/filter_host.h"
#include "filter/test_environment.h"

namespace mervane {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using Nanos = std::chrono::nanoseconds;

constexpr char kConfigPath[] = "c:\\bench\\mervane.cfg";
constexpr char kVersionMark[] = "VERSIONMARK";
// A request slower than this waited, or read the file.
constexpr Nanos kSlow = std::chrono::milliseconds(1);
constexpr Nanos kWindow = std::chrono::milliseconds(100);
constexpr int kThreads = 2;
constexpr size_t kSlowestShown = 40;
enum Phase { kQuiet, kDuring, kDone };
constexpr const char* kPhaseNames[] = {"without", "during"};

struct Case {
  int hosts;
  int replacements;
  int interval_milliseconds;
};

// The generated configuration without its log, with kVersionMark where the
// version goes.
std::string TemplateText(const TestEnvironment& environment, int hosts) {
  const std::string path = environment.Native("c:\\bench\\template.cfg");
  {
    ConfigFile file(path.c_str());
    bench::BuildMappingConfig(&file, hosts);
    ConfigSection* ip = file.GetSection(bench::kGeneratedIp);
    ConfigSection* main = ip->GetSection(schema::kMain);
    main->RemoveByName(schema::kLog);
    main->GetArray(schema::kWebRoot)->SetFirstString("d:\\wVERSIONMARK");
    ip->GetSection(schema::kVirtualHosts)
        ->GetSection(bench::GeneratedHostName(0).c_str())
        ->GetArray(schema::kUserDir)
        ->SetFirstString("vVERSIONMARK");
    file.Save();
  }
  std::ifstream file(path, std::ios::binary);
  std::string text(std::istreambuf_iterator<char>(file), {});
  fs::remove(path);
  return text;
}

// Replaces the configuration file in one step with a complete version, as
// the administration program saves it, each with a time of its own (the
// file system's coarse clock could give two quick saves the same time).
class Writer {
 public:
  Writer(const TestEnvironment& environment, std::string text)
      : text_(std::move(text)),
        path_(environment.Native(kConfigPath)),
        next_path_(path_ + ".next") {}

  void Write(int version) {
    std::string text = text_;
    const std::string number = std::to_string(version);
    for (size_t at = 0; (at = text.find(kVersionMark, at)) != text.npos;) {
      text.replace(at, sizeof kVersionMark - 1, number);
    }
    std::ofstream(next_path_, std::ios::binary) << text;
    time_ = std::max(fs::file_time_type::clock::now(),
                     time_ + std::chrono::microseconds(1));
    fs::last_write_time(next_path_, time_);
    fs::rename(next_path_, path_);
  }

 private:
  const std::string text_;
  const std::string path_;
  const std::string next_path_;
  fs::file_time_type time_;
};

// One thread's requests of one phase: when each ended, how long it took,
// and the versions served.
struct PhaseRecord {
  std::vector<Clock::time_point> ends;
  std::vector<Nanos> latencies;
  std::set<int> versions;
};

struct ThreadRecord {
  PhaseRecord phases[2];
  int torn = 0;
  int failures = 0;
  int steps_back = 0;
};

// The version of a mapped path d:\wN\vN\a.htm; -1 when torn or unmapped.
int VersionOf(const FilterHost::Result& result) {
  int webroot = -1;
  int user_dir = -2;
  if (std::sscanf(result.physical_path.c_str(), "d:\\w%d\\v%d\\", &webroot,
                  &user_dir) != 2 ||
      webroot != user_dir) {
    return -1;
  }
  return webroot;
}

void MapUntilDone(const FilterHost& host, const std::atomic<int>& phase,
                  ThreadRecord* record) {
  const FilterHost::Request request = {bench::kGeneratedIp, "80",
                                       bench::GeneratedHostName(0), "/a.htm",
                                       WwwrootPath("/a.htm")};
  int seen = 0;
  for (int now; (now = phase) != kDone;) {
    const Clock::time_point start = Clock::now();
    const FilterHost::Result result = host.MapUrl(request);
    const Clock::time_point end = Clock::now();
    record->phases[now].ends.push_back(end);
    record->phases[now].latencies.push_back(end - start);
    const int version = VersionOf(result);
    if (result.status != SF_STATUS_REQ_HANDLED_NOTIFICATION) {
      ++record->failures;
    } else if (version < 0) {
      ++record->torn;
    } else if (version < seen) {
      ++record->steps_back;
    } else if (version > seen) {
      record->phases[now].versions.insert(version);
    }
    seen = std::max(seen, version);
  }
}

double Milliseconds(Nanos nanos) { return nanos.count() / 1e6; }

// p50, p99, p99.9 and max of latencies, in microseconds.
std::string Percentiles(std::vector<Nanos> latencies) {
  if (latencies.empty()) return "no requests";
  std::sort(latencies.begin(), latencies.end());
  auto at = [&](double fraction) {
    const size_t index = static_cast<size_t>(fraction * (latencies.size() - 1));
    return latencies[index].count() / 1e3;
  };
  char text[160];
  std::snprintf(text, sizeof text,
                "p50 %.1f us, p99 %.1f us, p99.9 %.1f us, max %.1f us", at(0.5),
                at(0.99), at(0.999), at(1.0));
  return text;
}

// The fewest requests a thread finished in any whole window of the phase.
size_t FewestPerWindow(const PhaseRecord& record, Clock::time_point start,
                       Clock::time_point end) {
  const size_t windows = static_cast<size_t>((end - start) / kWindow);
  if (windows == 0) return record.ends.size();
  std::vector<size_t> counts(windows, 0);
  for (Clock::time_point t : record.ends) {
    const size_t window = static_cast<size_t>((t - start) / kWindow);
    if (window < windows) ++counts[window];
  }
  return *std::min_element(counts.begin(), counts.end());
}

// The shortest of a few loads of the file. Each reload makes one request
// read the file: of the slowest requests, as many as new versions were
// served are counted as those reads when they took half this time or more.
Nanos LoadTime(const TestEnvironment& environment) {
  const std::string path = environment.Native(kConfigPath);
  Nanos shortest = Nanos::max();
  for (int i = 0; i < 5; ++i) {
    const Clock::time_point start = Clock::now();
    ConfigFile(path.c_str()).Load();
    shortest = std::min<Nanos>(shortest, Clock::now() - start);
  }
  return shortest;
}

void Report(const ThreadRecord (&records)[kThreads],
            const Clock::time_point (&bounds)[3], Nanos load_time) {
  for (int phase : {kQuiet, kDuring}) {
    const Nanos length = bounds[phase + 1] - bounds[phase];
    std::vector<Nanos> all;
    std::set<int> versions;
    for (const ThreadRecord& record : records) {
      const PhaseRecord& phase_record = record.phases[phase];
      all.insert(all.end(), phase_record.latencies.begin(),
                 phase_record.latencies.end());
      versions.insert(phase_record.versions.begin(),
                      phase_record.versions.end());
    }
    std::sort(all.begin(), all.end(), std::greater<Nanos>());
    size_t reads = 0;
    while (reads < versions.size() && reads < all.size() &&
           all[reads] >= load_time / 2) {
      ++reads;
    }
    const std::vector<Nanos> others(all.begin() + reads, all.end());
    const size_t slow = static_cast<size_t>(
        std::count_if(others.begin(), others.end(),
                      [](Nanos latency) { return latency > kSlow; }));
    std::printf("  %-7s %.1f s, %zu requests, %zu versions loaded\n",
                kPhaseNames[phase], length.count() / 1e9, all.size(),
                versions.size());
    std::printf("          all requests:    %s\n", Percentiles(all).c_str());
    std::printf("          but the %4zu reads: %s; %zu over 1 ms\n", reads,
                Percentiles(others).c_str(), slow);
    std::printf("          slowest (ms):");
    for (size_t i = 0; i < all.size() && i < kSlowestShown; ++i) {
      std::printf(" %.1f", Milliseconds(all[i]));
    }
    std::printf("\n");
    for (int t = 0; t < kThreads; ++t) {
      const PhaseRecord& record = records[t].phases[phase];
      Nanos blocked(0);
      for (Nanos latency : record.latencies) {
        if (latency > kSlow) blocked += latency;
      }
      std::printf(
          "          thread %d: %zu requests, blocked %.1f ms of "
          "%.1f s, fewest requests in 100 ms: %zu\n",
          t + 1, record.latencies.size(), Milliseconds(blocked),
          length.count() / 1e9,
          FewestPerWindow(record, bounds[phase], bounds[phase + 1]));
    }
  }
}

// Returns false when a request failed, was torn or stepped back, or the
// last version is not served at the end.
bool Run(const Case& c, const char* library) {
  std::printf("%d host(s), %d replacements %d ms apart\n", c.hosts,
              c.replacements, c.interval_milliseconds);
  TestEnvironment environment;
  std::filesystem::create_directories(environment.Native("c:\\bench"));
  Writer writer(environment, TemplateText(environment, c.hosts));
  writer.Write(0);
  environment.SetConfigurationPath(kConfigPath);
  const Nanos load_time = LoadTime(environment);
  std::printf("  one load of the file: %.2f ms\n", Milliseconds(load_time));

  const FilterHost host(library);
  if (!host.IsLoaded()) {
    std::fprintf(stderr, "cannot load %s\n", library);
    return false;
  }
  std::atomic<int> phase{kQuiet};
  ThreadRecord records[kThreads];
  std::vector<std::thread> threads;
  Clock::time_point bounds[3];
  bounds[kQuiet] = Clock::now();
  for (ThreadRecord& record : records) {
    threads.emplace_back(MapUntilDone, std::cref(host), std::cref(phase),
                         &record);
  }
  // As long without replacements as with them, from 1 s to 5 s.
  const auto quiet = std::chrono::milliseconds(
      std::clamp(c.replacements * c.interval_milliseconds, 1000, 5000));
  std::this_thread::sleep_for(quiet);
  bounds[kDuring] = Clock::now();
  phase = kDuring;
  for (int version = 1; version <= c.replacements; ++version) {
    writer.Write(version);
    std::this_thread::sleep_for(
        std::chrono::milliseconds(c.interval_milliseconds));
  }
  bounds[kDone] = Clock::now();
  phase = kDone;
  for (std::thread& thread : threads) thread.join();

  // A save is seen once the filter's coarse clock has stepped past the last
  // check (a few milliseconds); the request below then loads it.
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  const FilterHost::Result last =
      host.MapUrl({bench::kGeneratedIp, "80", bench::GeneratedHostName(0),
                   "/a.htm", WwwrootPath("/a.htm")});
  const bool final_served = VersionOf(last) == c.replacements;
  Report(records, bounds, load_time);
  int bad = 0;
  for (const ThreadRecord& record : records) {
    bad += record.torn + record.failures + record.steps_back;
    std::printf("  torn %d, failures %d, steps back %d;", record.torn,
                record.failures, record.steps_back);
  }
  std::printf(" final version served: %s\n\n", final_served ? "yes" : "NO");
  return bad == 0 && final_served;
}

}  // namespace
}  // namespace mervane

int main(int argc, char** argv) {
  const char* library = mervane::bench::TakeLibraryFlag(&argc, &argv);
  std::vector<mervane::Case> cases = {{1, 1000, 2}, {100000, 20, 1000}};
  if (argc == 4) {
    cases = {{std::atoi(argv[1]), std::atoi(argv[2]), std::atoi(argv[3])}};
  } else if (argc != 1) {
    std::fputs(
        "usage: reload_bench [--library PATH] "
        "[HOSTS REPLACEMENTS INTERVAL_MS]\n",
        stderr);
    return 2;
  }
  bool passed = true;
  for (const mervane::Case& c : cases) {
    passed = mervane::Run(c, library) && passed;
  }
  return passed ? 0 : 1;
}
