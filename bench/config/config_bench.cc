// Loading, saving and looking up hosts in configurations of 1,000, 10,000
// and 100,000 virtual hosts, and naming the section of an IPv6 address.

#include <stdlib.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench/config/config_generator.h"
#include "benchmark/benchmark.h"
#include "config/config_schema.h"
#include "config/config_section.h"
#include "config/ip_address.h"

namespace mervane {
namespace bench {
namespace {

// One folder for the whole run, removed at exit.
class BenchFolder {
 public:
  BenchFolder() {
    char pattern[] = "/tmp/mervane-bench-XXXXXX";
    if (mkdtemp(pattern) != nullptr) path_ = pattern;
  }
  ~BenchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  std::string File(const std::string& name) const {
    return (path_ / name).string();
  }

 private:
  std::filesystem::path path_;
};

BenchFolder& Folder() {
  static BenchFolder folder;
  return folder;
}

// The generated file of that many hosts, written once.
const std::string& GeneratedFile(int hosts) {
  static std::map<int, std::string> files;
  auto found = files.find(hosts);
  if (found != files.end()) return found->second;
  std::string path = Folder().File("hosts" + std::to_string(hosts) + ".cfg");
  if (!WriteMappingConfig(path, hosts)) path.clear();
  return files[hosts] = path;
}

void BM_Load(benchmark::State& state) {
  const std::string& path = GeneratedFile(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    auto file = std::make_unique<ConfigFile>(path.c_str());
    if (!file->Load()) state.SkipWithError("load failed");
    state.PauseTiming();
    file.reset();
    state.ResumeTiming();
  }
  state.SetBytesProcessed(state.iterations() *
                          std::filesystem::file_size(path));
}

void BM_Save(benchmark::State& state) {
  std::string path = Folder().File("save.cfg");
  ConfigFile file(path.c_str());
  BuildMappingConfig(&file, static_cast<int>(state.range(0)));
  for (auto _ : state) {
    if (!file.Save()) state.SkipWithError("save failed");
  }
  state.SetBytesProcessed(state.iterations() *
                          std::filesystem::file_size(path));
}

// The filter's chain of lookups for one request, host by host.
void BM_LookupHost(benchmark::State& state) {
  int hosts = static_cast<int>(state.range(0));
  ConfigSection root("root");
  BuildMappingConfig(&root, hosts);
  std::vector<std::string> keys;
  for (int index = 0; index < 1000; ++index) {
    keys.push_back(schema::HostKey(
        GeneratedHostName(index * (hosts / 1000)).c_str(), "80"));
  }
  size_t next = 0;
  for (auto _ : state) {
    const char* user_dir = root.GetSection(kGeneratedIp)
                               ->GetSection(schema::kVirtualHosts)
                               ->GetSection(keys[next].c_str())
                               ->GetArray(schema::kUserDir)
                               ->FirstString();
    benchmark::DoNotOptimize(user_dir);
    next = (next + 1) % keys.size();
  }
}

// The section name the filter computes for a request on an IPv6 address.
void BM_Ipv6SectionName(benchmark::State& state) {
  const char* kTexts[] = {"::1", "2001:db8::5", "fe80::1c2:3ff:fe45:6789%12",
                          "::ffff:10.0.0.5"};
  size_t next = 0;
  for (auto _ : state) {
    char name[kAddressTextSize];
    benchmark::DoNotOptimize(Ipv6SectionName(kTexts[next], name));
    next = (next + 1) % 4;
  }
}

BENCHMARK(BM_Load)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(
    benchmark::kMillisecond);
BENCHMARK(BM_Save)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(
    benchmark::kMillisecond);
BENCHMARK(BM_LookupHost)->Arg(1000)->Arg(10000)->Arg(100000);
BENCHMARK(BM_Ipv6SectionName);

}  // namespace
}  // namespace bench
}  // namespace mervane

BENCHMARK_MAIN();
