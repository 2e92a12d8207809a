// Test support: a temporary installation of the filter's surroundings (the
// registry value naming the configuration file, and the drives that the
// configuration's paths name), and a fake server for direct MapUrl calls.
//
// Tests write every path in Windows form (c:\mervane.cfg). On POSIX the
// platform layer makes them native below $MERVANE_DRIVES, which points into
// the temporary folder. On Windows the real registry value is set aside and
// restored, and Path() relocates each drive into the temporary folder:
// d:\www becomes <temporary folder>\d\www. Windows runs one test at a time.

#ifndef MERVANE_FILTER_TEST_ENVIRONMENT_H_
#define MERVANE_FILTER_TEST_ENVIRONMENT_H_

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "filter/mapping_filter.h"
#include "filter/request_memory.h"
#include "filter/server_variable_source.h"

namespace mervane {

class TestEnvironment {
 public:
  TestEnvironment();
  ~TestEnvironment();
  TestEnvironment(const TestEnvironment&) = delete;
  TestEnvironment& operator=(const TestEnvironment&) = delete;

  // The path that the filter is to see for path: path itself, or on Windows
  // its drive relocated into the temporary folder. Apply it once.
  std::string Path(const std::string& path) const;
  // The file system's name of Path(path).
  std::string Native(const std::string& path) const;
  // Stores Path(path) as the registry value naming the configuration file.
  void SetConfigurationPath(const std::string& path) const;
  // Writes text, each drive path in it (x:\ after a non-letter) given by
  // Path, to the file, making its folders.
  void WriteFile(const std::string& path, const std::string& text) const;
  void MakeFolder(const std::string& path) const;
  // The messages of a mapping log's lines: what follows "TIME, DATE:  ".
  std::vector<std::string> LogMessages(const std::string& path) const;

 private:
  // The registry's and the drives' stand-ins, or the registry value set
  // aside; and their undoing.
  void Install();
  void Uninstall();

  std::string root_;                        // the temporary folder
  std::unique_ptr<char[]> registry_value_;  // Windows: the value set aside
};

// A server's filter context for one request: answers LOCAL_ADDR,
// SERVER_PORT and SERVER_NAME and hands out request memory.
class FakeServer : public ServerVariableSource, public RequestMemory {
 public:
  FakeServer(const std::string& ip, const std::string& port,
             const std::string& host);
  int GetServerVariable(const char* name, char* buffer, uint32_t size) override;
  void* AllocMem(uint32_t size) override;

  std::map<std::string, std::string> variables;
  bool can_allocate = true;

 private:
  std::vector<std::unique_ptr<char[]>> memory_;
};

// What MapUrl made of one request.
struct Mapping {
  DWORD status;
  std::string path;  // the record's physical path afterwards
};

// Runs filter->MapUrl for url and the server's physical_path, in a path
// buffer of 260 bytes or, for a longer path, just its size.
Mapping MapRequest(MappingFilter* filter, FakeServer* server,
                   const std::string& url, const std::string& physical_path);

// The server's physical path for url below the site root c:\inetpub\wwwroot.
std::string WwwrootPath(const std::string& url);

// Configuration text (the file's format, without indentation): a section
// holding the given lines, or a host of the given UserDir and MapScheme
// followed by more lines, or an IP with the given hosts and "MAIN" lines.
std::string SectionText(const std::string& name, const std::string& lines);
std::string HostText(const std::string& host_key, const std::string& user_dir,
                     const std::string& scheme, const std::string& more = "");
std::string IpText(const std::string& ip, const std::string& hosts,
                   const std::string& main_lines);

}  // namespace mervane

#endif  // MERVANE_FILTER_TEST_ENVIRONMENT_H_
