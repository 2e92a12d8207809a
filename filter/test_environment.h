// Test support: a temporary registry value and drives for the filter, and a
// fake server. Paths are written in Windows form; on Windows Path() moves
// each drive into the temporary folder (d:\www: <temporary folder>\d\www).

#ifndef MERVANE_FILTER_TEST_ENVIRONMENT_H_
#define MERVANE_FILTER_TEST_ENVIRONMENT_H_

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "filter/mapping_filter.h"
#include "filter/parse_place.h"
#include "filter/request_memory.h"
#include "filter/server_variable_source.h"

namespace mervane {

class TestEnvironment {
 public:
  TestEnvironment();
  ~TestEnvironment();

  std::string Path(const std::string& path) const;  // apply once
  std::string Native(const std::string& path) const;
  void SetConfigurationPath(const std::string& path) const;
  // text with each drive path in it given by Path.
  std::string Relocated(const std::string& text) const;
  // Writes text Relocated, making its folders.
  void WriteFile(const std::string& path, const std::string& text) const;
  // The messages of a mapping log's lines: what follows "TIME, DATE:  ".
  std::vector<std::string> LogMessages(const std::string& path) const;

 private:
  void Install();
  void Uninstall();

  std::string root_;
  std::unique_ptr<char[]> registry_value_;  // Windows: set aside; no copies
};

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

// A server that always, or never, takes a text's parse elsewhere, and
// counts how often it was asked.
struct FixedParsePlace : ParsePlace {
  explicit FixedParsePlace(bool elsewhere) : elsewhere(elsewhere) {}
  bool TakesParseElsewhere() override {
    ++asked;
    return elsewhere;
  }
  bool elsewhere;
  int asked = 0;
};

// The server's physical path for url below the site root c:\inetpub\wwwroot.
std::string WwwrootPath(const std::string& url);

// Makes every later open of a file by this process fail as when it holds
// too many (EMFILE), until GiveDescriptorsBack; false, changing nothing,
// where the platform cannot do that.
bool TakeAllDescriptors();
void GiveDescriptorsBack();

}  // namespace mervane

#endif  // MERVANE_FILTER_TEST_ENVIRONMENT_H_
