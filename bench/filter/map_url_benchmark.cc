// The cost of mapping one URL: MappingFilter::MapUrl against generated
// configurations of 10, 1,000 and 100,000 hosts, for a SchemeA host, a
// SchemeB host and a folder exception, with the log off and on, on one and
// two threads. Every request checks the configuration file's time, so a bare
// stat() of that file is measured as the floor.

#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <tuple>

#include "bench/config/config_generator.h"
#include "benchmark/benchmark.h"
#include "config/config_schema.h"
#include "config/config_section.h"
#include "filter/mapping_filter.h"
#include "filter/test_environment.h"

namespace mervane {
namespace {

enum RequestKind { kSchemeA, kSchemeB, kFolderException };

struct Request {
  std::string ip;
  std::string host;
  std::string url;
};

// A request for the last SchemeA or SchemeB host of the configuration, or
// for a folder exception of a host in its middle.
Request RequestFor(RequestKind kind, int hosts) {
  switch (kind) {
    case kSchemeA:
      return {bench::kGeneratedIp, bench::GeneratedHostName(hosts - 2),
              "/a/b.htm"};
    case kSchemeB:
      return {bench::kGeneratedIp, bench::GeneratedHostName(hosts - 1),
              "/img/logo.gif"};
    case kFolderException:
      break;
  }
  return {bench::kGeneratedIp, bench::GeneratedHostName(hosts / 2),
          "/docs/x/y.txt"};
}

// One filter per configuration, made on first use and kept for the run.
// All share one environment: the filters read the registry only when made.
class Filters {
 public:
  // Lives until the program ends, when its temporary folder goes.
  static Filters& Instance() {
    static Filters filters;
    return filters;
  }

  MappingFilter* Get(int hosts, bool log) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::unique_ptr<MappingFilter>& filter = filters_[{hosts, log}];
    if (filter == nullptr) {
      const std::string path = ConfigPath(hosts, log);
      WriteConfiguration(path, hosts, log);
      environment_.SetConfigurationPath(path);
      filter = std::make_unique<MappingFilter>();
    }
    return filter.get();
  }

  std::string NativeConfigPath() const {
    return environment_.Native(ConfigPath(10, false));
  }

 private:
  Filters() {
    std::filesystem::create_directories(environment_.Native("c:\\bench"));
    std::filesystem::create_directories(environment_.Native("c:\\logs"));
  }

  static std::string ConfigPath(int hosts, bool log) {
    return "c:\\bench\\hosts" + std::to_string(hosts) + (log ? "-log" : "") +
           ".cfg";
  }

  // The generated configuration, without its log setting unless `log`.
  static void WriteConfiguration(const std::string& path, int hosts, bool log) {
    ConfigFile file(path.c_str());
    bench::BuildMappingConfig(&file, hosts);
    if (!log) {
      file.GetSection(bench::kGeneratedIp)
          ->GetSection(schema::kMain)
          ->RemoveByName(schema::kLog);
    }
    file.Save();
  }

  TestEnvironment environment_;
  std::mutex mutex_;
  std::map<std::tuple<int, bool>, std::unique_ptr<MappingFilter>> filters_;
};

void BM_MapUrl(benchmark::State& state) {
  const int hosts = static_cast<int>(state.range(0));
  const auto kind = static_cast<RequestKind>(state.range(1));
  const bool log = state.range(2) != 0;
  MappingFilter* filter = Filters::Instance().Get(hosts, log);
  const Request request = RequestFor(kind, hosts);
  FakeServer server(request.ip, "80", request.host);
  const std::string physical_path = WwwrootPath(request.url);
  char buffer[260];
  HTTP_FILTER_URL_MAP record;
  for (auto _ : state) {
    std::memcpy(buffer, physical_path.c_str(), physical_path.size() + 1);
    record = {request.url.c_str(), buffer, sizeof buffer};
    if (filter->MapUrl(&server, &server, &record) !=
        SF_STATUS_REQ_HANDLED_NOTIFICATION) {
      state.SkipWithError("the request was not mapped");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_StatConfigFile(benchmark::State& state) {
  Filters::Instance().Get(10, false);
  const std::string path = Filters::Instance().NativeConfigPath();
  struct stat status;
  for (auto _ : state) {
    benchmark::DoNotOptimize(stat(path.c_str(), &status));
  }
  state.SetItemsProcessed(state.iterations());
}

// The file-time query that every request makes, through the platform layer.
void BM_QueryLastWriteTime(benchmark::State& state) {
  Filters::Instance().Get(10, false);
  const std::string path = Filters::Instance().NativeConfigPath();
  platform::FileTime time;
  for (auto _ : state) {
    benchmark::DoNotOptimize(platform::QueryLastWriteTime(path.c_str(), &time));
  }
  state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_QueryLastWriteTime)->Threads(1)->Threads(2)->UseRealTime();
BENCHMARK(BM_StatConfigFile)->Threads(1)->Threads(2)->UseRealTime();
BENCHMARK(BM_MapUrl)
    ->ArgNames({"hosts", "kind", "log"})
    ->ArgsProduct({{10, 1000, 100000},
                   {kSchemeA, kSchemeB, kFolderException},
                   {0, 1}})
    ->Threads(1)
    ->Threads(2)
    ->UseRealTime();

}  // namespace
}  // namespace mervane

BENCHMARK_MAIN();
