// The compiled index at 100,000 hosts (or HOSTS): what a server process pays
// for one load of the configuration, through the library's exports, with
// its index and from its text; the proportional memory (Pss) that 20
// processes gain by loading it; and the administration program's save (one
// load, one change, the text and its index written) against its load alone.
// Each load runs in a fresh process, as a server's child starts.
//
//   index_bench [--library PATH] [HOSTS]
//
// --library measures another build of the filter, today's for example,
// which knows no index and always reads the text. Run once per library.

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "bench/config/config_generator.h"
#include "bench/filter/library_flag.h"
#include "config/config_schema.h"
#include "config/config_section.h"
#include "filter/filter_host.h"
#include "filter/index_file.h"
#include "filter/test_environment.h"

namespace mervane {
namespace {

constexpr char kConfigPath[] = "c:\\bench\\mervane.cfg";
constexpr double kMegabyte = 1 << 20;
constexpr int kProcesses = 20;
constexpr int kLoads = 5;

double Milliseconds(std::chrono::steady_clock::duration elapsed) {
  return std::chrono::duration<double, std::milli>(elapsed).count();
}

template <typename Work>
double TimeOf(Work work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return Milliseconds(std::chrono::steady_clock::now() - start);
}

// This process's proportional set size in bytes.
size_t Pss() {
  std::ifstream rollup("/proc/self/smaps_rollup");
  std::string line;
  while (std::getline(rollup, line)) {
    if (line.rfind("Pss:", 0) == 0) {
      return std::strtoull(line.c_str() + 4, nullptr, 10) * 1024;
    }
  }
  return 0;
}

// Runs child in a fresh process; returns the double it wrote.
double InChild(const std::function<double()>& child) {
  int pipe_fds[2];
  if (pipe(pipe_fds) != 0) return -1;
  const pid_t pid = fork();
  if (pid == 0) {
    const double figure = child();
    (void)!write(pipe_fds[1], &figure, sizeof(figure));
    _exit(0);
  }
  close(pipe_fds[1]);
  double figure = -1;
  (void)!read(pipe_fds[0], &figure, sizeof(figure));
  close(pipe_fds[0]);
  waitpid(pid, nullptr, 0);
  return figure;
}

// Loads the library and maps one request; false when it does not map.
bool LoadAndMap(const char* library, const FilterHost::Request& request,
                std::unique_ptr<FilterHost>* host) {
  *host = std::make_unique<FilterHost>(library);
  return (*host)->IsLoaded() &&
         (*host)->MapUrl(request).physical_path.rfind("d:\\www", 0) == 0;
}

// The quickest of kLoads loads, each in a fresh process.
double LoadMilliseconds(const char* library,
                        const FilterHost::Request& request) {
  double best = 1e9;
  for (int load = 0; load < kLoads; ++load) {
    best = std::min(best, InChild([&] {
                      std::unique_ptr<FilterHost> host;
                      bool mapped = false;
                      const double ms = TimeOf([&] {
                        mapped = LoadAndMap(library, request, &host);
                      });
                      return mapped ? ms : -1;
                    }));
  }
  return best;
}

// The Pss that kProcesses processes gain by loading, added up, measured
// while all of them hold the configuration.
double PssOfProcesses(const char* library, const FilterHost::Request& request) {
  int ready[2];
  int go[2];
  int figures[2];
  int quit[2];
  if (pipe(ready) != 0 || pipe(go) != 0 || pipe(figures) != 0 ||
      pipe(quit) != 0) {
    return -1;
  }
  std::vector<pid_t> children;
  for (int n = 0; n < kProcesses; ++n) {
    const pid_t pid = fork();
    if (pid == 0) {
      const size_t before = Pss();
      std::unique_ptr<FilterHost> host;
      const bool mapped = LoadAndMap(library, request, &host);
      (void)!write(ready[1], "r", 1);
      char byte;
      (void)!read(go[0], &byte, 1);
      const double gained =
          mapped ? static_cast<double>(Pss()) - static_cast<double>(before)
                 : -1e12;
      (void)!write(figures[1], &gained, sizeof(gained));
      (void)!read(quit[0], &byte, 1);
      _exit(0);
    }
    children.push_back(pid);
  }
  char byte;
  for (int n = 0; n < kProcesses; ++n) (void)!read(ready[0], &byte, 1);
  for (int n = 0; n < kProcesses; ++n) (void)!write(go[1], "g", 1);
  double total = 0;
  for (int n = 0; n < kProcesses; ++n) {
    double gained = 0;
    (void)!read(figures[0], &gained, sizeof(gained));
    total += gained;
  }
  for (int n = 0; n < kProcesses; ++n) (void)!write(quit[1], "x", 1);
  for (const pid_t pid : children) waitpid(pid, nullptr, 0);
  for (const int fd : {ready[0], ready[1], go[0], go[1], figures[0], figures[1],
                       quit[0], quit[1]}) {
    close(fd);
  }
  return total;
}

// The administration's load of the file, and a save after one change with
// and without the index, each in a fresh process.
void PrintSaves(const std::string& path) {
  auto load = [&] {
    ConfigFile file(path.c_str());
    file.Load();
  };
  auto save = [&](bool with_index) {
    ConfigFile file(path.c_str());
    file.Load();
    file.GetSection(bench::kGeneratedIp)
        ->GetSection(schema::kMain)
        ->GetArray(schema::kWebRoot)
        ->SetFirstString("d:\\www");
    file.Save(nullptr,
              with_index ? IndexWritingSteps(path) : platform::ReplaceSteps());
  };
  const double loaded = InChild([&] { return TimeOf(load); });
  const double text = InChild([&] { return TimeOf([&] { save(false); }); });
  const double indexed = InChild([&] { return TimeOf([&] { save(true); }); });
  std::printf(
      "  administration: load %.0f ms; save (load, change, write) "
      "%.0f ms text only, %.0f ms with index = %.2fx the load\n",
      loaded, text, indexed, indexed / loaded);
}

int Run(const char* library, int hosts) {
  TestEnvironment environment;
  std::filesystem::create_directories(environment.Native("c:\\bench"));
  const std::string path = environment.Path(kConfigPath);
  const std::string native = environment.Native(kConfigPath);
  const std::string index = IndexPathOf(native);
  const double written = InChild([&] {
    return TimeOf([&] { bench::WriteMappingConfig(native, hosts); });
  });
  environment.SetConfigurationPath(kConfigPath);
  const FilterHost::Request request = {bench::kGeneratedIp, "80",
                                       bench::GeneratedHostName(hosts - 2),
                                       "/a.htm", WwwrootPath("/a.htm")};
  std::string problem;
  const double compiled =
      InChild([&] { return TimeOf([&] { CompileIndex(path, &problem); }); });
  const size_t file_size = std::filesystem::file_size(native);
  const size_t index_size = std::filesystem::file_size(index);
  std::printf(
      "%s, %d hosts: file %.1f MB (written in %.0f ms), index %.1f MB "
      "(compiled in %.0f ms)\n",
      library, hosts, file_size / kMegabyte, written, index_size / kMegabyte,
      compiled);

  const double with_index = LoadMilliseconds(library, request);
  const double pss_index = PssOfProcesses(library, request);
  std::filesystem::rename(index, index + ".aside");
  const double from_text = LoadMilliseconds(library, request);
  // Beyond 100,000 hosts 20 parses at once take the machine for minutes.
  const double pss_text =
      hosts <= 100000 ? PssOfProcesses(library, request) : 0;
  std::filesystem::rename(index + ".aside", index);
  std::printf(
      "  one load through the exports (quickest of %d): %.1f ms with "
      "the index, %.1f ms from the text\n",
      kLoads, with_index, from_text);
  std::printf(
      "  Pss gained by %d processes, added up: %.1f MB with the index "
      "(%.2fx the index), %.1f MB from the text (%.2fx the file)\n",
      kProcesses, pss_index / kMegabyte, pss_index / index_size,
      pss_text / kMegabyte, pss_text / file_size);
  PrintSaves(path);
  return 0;
}

}  // namespace
}  // namespace mervane

int main(int argc, char** argv) {
  const char* library = mervane::bench::TakeLibraryFlag(&argc, &argv);
  if (argc > 2) {
    std::fputs("usage: index_bench [--library PATH] [HOSTS]\n", stderr);
    return 2;
  }
  return mervane::Run(library, argc == 2 ? std::atoi(argv[1]) : 100000);
}
