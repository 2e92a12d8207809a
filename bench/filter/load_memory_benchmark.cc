// The resident memory that the filter library costs a process at 100,000
// hosts: once the configuration is loaded, at the peak of a reload (the
// snapshot in use and the next one being loaded), and after the reload.
// Resident, not allocated: what the system counts against the server.
// Prints each figure in MB and as a multiple of the file's size, and the
// time of the load (the library's start and its first request) and of the
// reload (from the file's replacement to the first request it maps), each
// also as this thread's processor time, which other processes disturb less.
//
//   load_memory_bench [--library PATH] [HOSTS]
//
// --library measures another build of the filter, an older one for example.
// Run it once per library: each process measures one.

#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "bench/config/config_generator.h"
#include "bench/filter/library_flag.h"
#include "config/config_schema.h"
#include "config/config_section.h"
#include "filter/filter_host.h"
#include "filter/test_environment.h"

namespace mervane {
namespace {

constexpr char kConfigPath[] = "c:\\bench\\mervane.cfg";
constexpr char kNextPath[] = "c:\\bench\\next.cfg";
constexpr double kMegabyte = 1 << 20;

// Resident bytes now, or at their peak since ResetPeak ("VmHWM").
size_t ResidentBytes(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(field, 0) == 0) {
      return std::strtoull(line.c_str() + std::strlen(field), nullptr, 10) *
             1024;
    }
  }
  return 0;
}

size_t ResidentNow() { return ResidentBytes("VmRSS:"); }
size_t ResidentPeak() { return ResidentBytes("VmHWM:"); }

// Starts the peak again from the resident size now.
void ResetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

// Writes the generated configuration with its WebRoot set to web_root.
void WriteConfiguration(const std::string& path, int hosts,
                        const char* web_root) {
  ConfigFile file(path.c_str());
  bench::BuildMappingConfig(&file, hosts);
  ConfigSection* main =
      file.GetSection(bench::kGeneratedIp)->GetSection(schema::kMain);
  main->RemoveByName(schema::kLog);
  main->GetArray(schema::kWebRoot)->SetFirstString(web_root);
  file.Save();
}

// The wall-clock time and this thread's processor time, in milliseconds.
struct Times {
  double wall;
  double processor;
};

Times Now() {
  timespec processor;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &processor);
  return {std::chrono::duration<double, std::milli>(
              std::chrono::steady_clock::now().time_since_epoch())
              .count(),
          processor.tv_sec * 1e3 + processor.tv_nsec / 1e6};
}

void PrintTime(const char* what, const Times& start, const Times& end) {
  std::printf("  %-34s %8.0f ms  %5.0f ms of processor time\n", what,
              end.wall - start.wall, end.processor - start.processor);
}

void Print(const char* what, size_t bytes, size_t file_size) {
  std::printf("  %-34s %8.1f MB  %5.2fx the file\n", what, bytes / kMegabyte,
              static_cast<double>(bytes) / file_size);
}

int Run(const char* library, int hosts) {
  TestEnvironment environment;
  std::filesystem::create_directories(environment.Native("c:\\bench"));
  // Written by a child process: the trees that writing builds would leave
  // this process's heap spread over many pages, which a load then touches.
  const pid_t writer = fork();
  if (writer == 0) {
    WriteConfiguration(environment.Native(kConfigPath), hosts, "d:\\old");
    WriteConfiguration(environment.Native(kNextPath), hosts, "d:\\new");
    _exit(0);
  }
  waitpid(writer, nullptr, 0);
  environment.SetConfigurationPath(kConfigPath);
  const size_t file_size =
      std::filesystem::file_size(environment.Native(kConfigPath));
  const FilterHost::Request request = {bench::kGeneratedIp, "80",
                                       bench::GeneratedHostName(hosts - 2),
                                       "/a.htm", WwwrootPath("/a.htm")};

  const size_t before = ResidentNow();
  const Times load_start = Now();
  const FilterHost host(library);
  if (!host.IsLoaded() ||
      host.MapUrl(request).physical_path.rfind("d:\\old", 0) != 0) {
    std::fprintf(stderr, "%s does not map with the configuration\n", library);
    return 1;
  }
  const Times load_end = Now();
  const size_t loaded = ResidentNow() - before;

  ResetPeak();
  const Times reload_start = Now();
  std::filesystem::rename(environment.Native(kNextPath),
                          environment.Native(kConfigPath));
  while (host.MapUrl(request).physical_path.rfind("d:\\new", 0) != 0) {
    usleep(100);
  }
  const Times reload_end = Now();
  const size_t peak = ResidentPeak() - before;
  const size_t reloaded = ResidentNow() - before;

  std::printf("%s, %d hosts, file %.1f MB\n", library, hosts,
              file_size / kMegabyte);
  Print("resident gained once loaded", loaded, file_size);
  Print("resident gained at a reload's peak", peak, file_size);
  Print("resident gained after the reload", reloaded, file_size);
  PrintTime("load", load_start, load_end);
  PrintTime("reload", reload_start, reload_end);
  return 0;
}

}  // namespace
}  // namespace mervane

int main(int argc, char** argv) {
  const char* library = mervane::bench::TakeLibraryFlag(&argc, &argv);
  if (argc > 2) {
    std::fputs("usage: load_memory_bench [--library PATH] [HOSTS]\n", stderr);
    return 2;
  }
  return mervane::Run(library, argc == 2 ? std::atoi(argv[1]) : 100000);
}
