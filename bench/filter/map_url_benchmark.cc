// The cost of mapping one URL, against generated configurations of 10,
// 1,000 and 100,000 hosts:
//   - BM_ExportsMapUrl: a SchemeA request, log off, through the built
//     library's exports as the server makes it (the filter's whole share of
//     a request, the check of the configuration file included); with
//     --baseline=PATH also through that library, an older build, beside it;
//   - BM_SnapshotMapUrl: the mapping alone, by a loaded Snapshot, for a
//     SchemeA host, a SchemeB host and a folder exception, log off and on;
//     and, in the same configuration with a wildcard entry *.example.com
//     and a default entry *, for a name that only the wildcard serves (one
//     more lookup), one that only the default serves (two more) and a
//     name of 255 characters and 128 labels (a.a.a...) that only the
//     default serves;
//   - BM_StatConfigFile: a bare stat() of the configuration file, the floor
//     that the exports figure is held against.
// Rows with flush:1 walk a buffer larger than the last-level cache before
// each call and time the call alone (manual time: the thread's processor
// time), so that the walk's own time is left out: a server's request meets
// a cold cache. threads:2 rows
// give the throughput of two mapping threads.
//
//   filter_bench [--baseline=PATH] [GOOGLE_BENCHMARK_ARGS...]

#include <sys/stat.h>
#include <time.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "bench/config/config_generator.h"
#include "benchmark/benchmark.h"
#include "config/config_schema.h"
#include "config/config_section.h"
#include "filter/filter_host.h"
#include "filter/snapshot.h"
#include "filter/test_environment.h"

namespace mervane {
namespace {

enum RequestKind {
  kSchemeA,
  kSchemeB,
  kFolderException,
  kWildcard,
  kDefault,
  kManyLabels
};

// Larger than the last-level cache of the machines we measure on.
constexpr size_t kFlushBytes = size_t{64} << 20;
constexpr int kFlushedIterations = 400;
constexpr char kServedPath[] = "c:\\bench\\mervane.cfg";

struct Request {
  std::string host;
  std::string url;
};

// A request for the last SchemeA or SchemeB host of the configuration, or
// for a folder exception of a host in its middle.
Request RequestFor(RequestKind kind, int hosts) {
  switch (kind) {
    case kSchemeA:
      return {bench::GeneratedHostName(hosts - 2), "/a/b.htm"};
    case kSchemeB:
      return {bench::GeneratedHostName(hosts - 1), "/img/logo.gif"};
    case kWildcard:
      return {"unlisted.example.com", "/a/b.htm"};
    case kDefault:
      return {"example.org", "/a/b.htm"};
    case kManyLabels: {
      std::string name = "a";
      while (name.size() < 255) name += ".a";
      return {name, "/a/b.htm"};
    }
    case kFolderException:
      break;
  }
  return {bench::GeneratedHostName(hosts / 2), "/docs/x/y.txt"};
}

// Evicts every cache line the last call touched.
void FlushCaches() {
  static std::vector<char>* buffer = new std::vector<char>(kFlushBytes, 1);
  char* bytes = buffer->data();
  for (size_t at = 0; at < buffer->size(); at += 64) ++bytes[at];
  benchmark::ClobberMemory();
}

// The generated configurations, their snapshots and the filter libraries,
// made on first use and kept for the run. The libraries serve one file,
// kServedPath, which Serve replaces with the configuration a benchmark needs.
class Fixture {
 public:
  static Fixture& Instance() {
    static Fixture* fixture = new Fixture();
    return *fixture;
  }

  static void SetBaseline(std::string path) { baseline_ = std::move(path); }
  static bool HasBaseline() { return !baseline_.empty(); }

  // The snapshot of the configuration of `hosts`, with the wildcard and
  // default entries when `patterns`.
  const Snapshot* SnapshotOf(int hosts, bool log, bool patterns) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::shared_ptr<const Snapshot>& snapshot =
        snapshots_[{hosts, log, patterns}];
    if (snapshot == nullptr) {
      Snapshot::LoadFailure failure;
      snapshot = Snapshot::Load(ConfigPath(hosts, log, patterns), &failure);
    }
    return snapshot.get();
  }

  // The library (0: this build's, 1: the baseline) serving the
  // configuration of `hosts`, log off.
  const FilterHost* Serve(int library, int hosts) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (served_hosts_ != hosts) {
      const std::string temp = environment_.Native(kServedPath) + ".new";
      std::filesystem::copy_file(
          environment_.Native(ConfigPath(hosts, false, false)), temp,
          std::filesystem::copy_options::overwrite_existing);
      std::filesystem::rename(temp, environment_.Native(kServedPath));
      served_hosts_ = hosts;
    }
    std::unique_ptr<FilterHost>& host = hosts_[library];
    if (host == nullptr) {
      host = std::make_unique<FilterHost>(library == 0 ? MERVANE_FILTER_LIBRARY
                                                       : baseline_.c_str());
    }
    // A filter notices the new file within a few requests.
    const Request request = RequestFor(kSchemeA, hosts);
    while (host->MapUrl(RequestOf(request)).status !=
           SF_STATUS_REQ_HANDLED_NOTIFICATION) {
    }
    return host.get();
  }

  std::string NativeServedPath() const {
    return environment_.Native(kServedPath);
  }

  static FilterHost::Request RequestOf(const Request& request) {
    return {bench::kGeneratedIp, "80", request.host, request.url,
            WwwrootPath(request.url)};
  }

 private:
  Fixture() {
    std::filesystem::create_directories(environment_.Native("c:\\bench"));
    std::filesystem::create_directories(environment_.Native("c:\\logs"));
    for (int hosts : {10, 1000, 100000}) {
      for (bool log : {false, true}) WriteConfiguration(hosts, log, false);
    }
    for (int hosts : {10, 100000}) WriteConfiguration(hosts, false, true);
    std::filesystem::copy_file(
        environment_.Native(ConfigPath(10, false, false)),
        environment_.Native(kServedPath));
    served_hosts_ = 10;
    environment_.SetConfigurationPath(kServedPath);
  }

  static std::string ConfigPath(int hosts, bool log, bool patterns) {
    return "c:\\bench\\hosts" + std::to_string(hosts) + (log ? "-log" : "") +
           (patterns ? "-patterns" : "") + ".cfg";
  }

  // The generated configuration, without its log setting unless `log`, and
  // with a wildcard and a default entry when `patterns`.
  static void WriteConfiguration(int hosts, bool log, bool patterns) {
    ConfigFile file(ConfigPath(hosts, log, patterns).c_str());
    bench::BuildMappingConfig(&file, hosts);
    ConfigSection* ip = file.GetSection(bench::kGeneratedIp);
    if (!log) ip->GetSection(schema::kMain)->RemoveByName(schema::kLog);
    if (patterns) {
      ConfigSection* hosts = ip->GetSection(schema::kVirtualHosts);
      for (const char* name : {"*.example.com", "*"}) {
        ConfigSection* host = hosts->AddSection(name);
        host->AddArray(schema::kUserDir)->SetFirstString("patterns");
        host->AddArray(schema::kMapScheme)->SetFirstString(schema::kSchemeA);
      }
    }
    file.Save();
  }

  static inline std::string baseline_;
  TestEnvironment environment_;
  std::mutex mutex_;
  std::map<std::tuple<int, bool, bool>, std::shared_ptr<const Snapshot>>
      snapshots_;
  std::unique_ptr<FilterHost> hosts_[2];
  int served_hosts_ = 0;
};

// The calling thread's processor time: a call that other processes
// interrupt is not charged their time.
double ThreadSeconds() {
  timespec now;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + now.tv_nsec * 1e-9;
}

// Runs map once per iteration; with flush, before a cache walk that the
// iteration's time leaves out.
template <typename Map>
void Measure(benchmark::State& state, bool flush, Map map) {
  for (auto _ : state) {
    if (!flush) {
      if (!map()) break;
      continue;
    }
    FlushCaches();
    const double start = ThreadSeconds();
    const bool mapped = map();
    state.SetIterationTime(ThreadSeconds() - start);
    if (!mapped) break;
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_ExportsMapUrl(benchmark::State& state) {
  const int library = static_cast<int>(state.range(0));
  const int hosts = static_cast<int>(state.range(1));
  const bool flush = state.range(2) != 0;
  const FilterHost* host = Fixture::Instance().Serve(library, hosts);
  const FilterHost::Request request =
      Fixture::RequestOf(RequestFor(kSchemeA, hosts));
  Measure(state, flush, [&] {
    if (host->MapUrl(request).status == SF_STATUS_REQ_HANDLED_NOTIFICATION) {
      return true;
    }
    state.SkipWithError("the request was not mapped");
    return false;
  });
}

void BM_SnapshotMapUrl(benchmark::State& state) {
  const int hosts = static_cast<int>(state.range(0));
  const auto kind = static_cast<RequestKind>(state.range(1));
  const bool log = state.range(2) != 0;
  const bool flush = state.range(3) != 0;
  const Snapshot* snapshot =
      Fixture::Instance().SnapshotOf(hosts, log, kind >= kWildcard);
  const Request request = RequestFor(kind, hosts);
  FakeServer server(bench::kGeneratedIp, "80", request.host);
  const std::string physical_path = WwwrootPath(request.url);
  char buffer[260];
  Measure(state, flush, [&] {
    std::memcpy(buffer, physical_path.c_str(), physical_path.size() + 1);
    HTTP_FILTER_URL_MAP record = {request.url.c_str(), buffer, sizeof buffer};
    MappingLog mapping_log;
    if (snapshot->MapUrl(&server, &server, &record, &mapping_log) ==
        SF_STATUS_REQ_HANDLED_NOTIFICATION) {
      return true;
    }
    state.SkipWithError("the request was not mapped");
    return false;
  });
}

void BM_StatConfigFile(benchmark::State& state) {
  const std::string path = Fixture::Instance().NativeServedPath();
  struct stat status;
  for (auto _ : state) {
    benchmark::DoNotOptimize(stat(path.c_str(), &status));
  }
  state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_StatConfigFile)->Threads(1)->Threads(2)->UseRealTime();

// Registered after the command line is read: the baseline's rows exist only
// when it names one.
void RegisterExports() {
  const int libraries = Fixture::HasBaseline() ? 2 : 1;
  for (int hosts : {10, 100000}) {
    for (int library = 0; library < libraries; ++library) {
      benchmark::RegisterBenchmark("BM_ExportsMapUrl", BM_ExportsMapUrl)
          ->ArgNames({"baseline", "hosts", "flush"})
          ->Args({library, hosts, 0})
          ->Threads(1)
          ->Threads(2)
          ->UseRealTime();
      benchmark::RegisterBenchmark("BM_ExportsMapUrl", BM_ExportsMapUrl)
          ->ArgNames({"baseline", "hosts", "flush"})
          ->Args({library, hosts, 1})
          ->Iterations(kFlushedIterations)
          ->UseManualTime();
    }
  }
}

BENCHMARK(BM_SnapshotMapUrl)
    ->ArgNames({"hosts", "kind", "log", "flush"})
    ->ArgsProduct({{10, 1000, 100000},
                   {kSchemeA, kSchemeB, kFolderException},
                   {0, 1},
                   {0}})
    ->Threads(1)
    ->Threads(2)
    ->UseRealTime();
BENCHMARK(BM_SnapshotMapUrl)
    ->ArgNames({"hosts", "kind", "log", "flush"})
    ->ArgsProduct({{10, 100000}, {kWildcard, kDefault, kManyLabels}, {0}, {0}})
    ->UseRealTime();
BENCHMARK(BM_SnapshotMapUrl)
    ->ArgNames({"hosts", "kind", "log", "flush"})
    ->ArgsProduct({{10, 100000}, {kSchemeA}, {0}, {1}})
    ->Iterations(kFlushedIterations)
    ->UseManualTime();

}  // namespace
}  // namespace mervane

int main(int argc, char** argv) {
  constexpr std::string_view kBaselineFlag = "--baseline=";
  std::vector<char*> arguments;
  for (int i = 0; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument.substr(0, kBaselineFlag.size()) == kBaselineFlag) {
      mervane::Fixture::SetBaseline(
          std::string(argument.substr(kBaselineFlag.size())));
    } else {
      arguments.push_back(argv[i]);
    }
  }
  int count = static_cast<int>(arguments.size());
  benchmark::Initialize(&count, arguments.data());
  mervane::RegisterExports();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
