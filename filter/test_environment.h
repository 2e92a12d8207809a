// Test support: a temporary folder standing in for the registry and the
// drives ($MERVANE_REGISTRY, $MERVANE_DRIVES), and a fake server that
// answers the mapping's server variables.

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

// Sets $MERVANE_REGISTRY and $MERVANE_DRIVES to folders of a new temporary
// folder, which the destructor removes. Paths below are in Windows form.
class TestEnvironment {
 public:
  // Where InstallExample puts the example configuration.
  static constexpr char kExampleConfigPath[] = "c:\\mervane\\mervane.cfg";

  TestEnvironment();
  ~TestEnvironment();
  TestEnvironment(const TestEnvironment&) = delete;
  TestEnvironment& operator=(const TestEnvironment&) = delete;

  // Stores path as the registry value naming the configuration file.
  void SetConfigurationPath(const std::string& path) const;
  // The example configuration at kExampleConfigPath, named by the registry,
  // the example drive's files, and an empty folder c:\logs.
  void InstallExample() const;

  std::string Native(const std::string& path) const;
  // Writes text to the file, making its folders.
  void WriteFile(const std::string& path, const std::string& text) const;
  void MakeFolder(const std::string& path) const;
  bool Exists(const std::string& path) const;
  // The messages of a mapping log's lines: what follows the time stamp
  // ("TIME, DATE") and ":  ". A line without them reads "<no stamp>: LINE".
  std::vector<std::string> LogMessages(const std::string& path) const;
  // Gives the file a last-write time it never had before.
  void Touch(const std::string& path) const;

 private:
  std::string root_;
};

// A server's filter context for one request: answers LOCAL_ADDR,
// SERVER_PORT and SERVER_NAME from fixed texts and hands out request memory.
class FakeServer : public ServerVariableSource, public RequestMemory {
 public:
  FakeServer(const std::string& ip, const std::string& port,
             const std::string& host);

  int GetServerVariable(const char* name, char* buffer, uint32_t size) override;
  void* AllocMem(uint32_t size) override;

  std::map<std::string, std::string> variables;
  bool can_allocate = true;
  int allocations = 0;

 private:
  std::vector<std::unique_ptr<char[]>> memory_;
};

// What MapUrl made of one request.
struct Mapping {
  DWORD status;
  std::string path;  // the record's physical path afterwards
};

// Runs filter->MapUrl for url and the server's physical_path, in a path
// buffer of buffer_size bytes (at least the path's size).
Mapping MapRequest(MappingFilter* filter, FakeServer* server,
                   const std::string& url, const std::string& physical_path,
                   uint32_t buffer_size = 260);

// The server's physical path for url below the site root
// c:\inetpub\wwwroot.
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
