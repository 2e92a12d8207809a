#include "filter/test_environment.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include "config/config_schema.h"
#include "config/registry_key.h"
#include "platform/platform.h"

namespace mervane {

namespace fs = std::filesystem;

TestEnvironment::TestEnvironment()
    : root_((fs::temp_directory_path() /
             ("mervane-filter-" + std::to_string(std::random_device()())))
                .string()) {
  fs::create_directories(root_);
  Install();
}

TestEnvironment::~TestEnvironment() {
  Uninstall();
  std::error_code ignored;
  fs::remove_all(root_, ignored);
}

std::string TestEnvironment::Native(const std::string& path) const {
  return platform::NativePath(Path(path).c_str());
}

void TestEnvironment::SetConfigurationPath(const std::string& path) const {
  RegistryKey(1, RegistryKey::Root::kLocalMachine, schema::kRegistryKeyPath)
      .WriteString(schema::kRegistryValueName, Path(path).c_str());
}

std::string TestEnvironment::Relocated(const std::string& text) const {
  std::string relocated;
  size_t copied = 0;
  for (size_t i = 0; i + 2 < text.size(); ++i) {
    if (std::isalpha(static_cast<unsigned char>(text[i])) &&
        text[i + 1] == ':' && text[i + 2] == '\\' &&
        (i == 0 || !std::isalnum(static_cast<unsigned char>(text[i - 1])))) {
      relocated += text.substr(copied, i - copied) + Path(text.substr(i, 3));
      copied = i + 3;
    }
  }
  return relocated + text.substr(copied);
}

void TestEnvironment::WriteFile(const std::string& path,
                                const std::string& text) const {
  const fs::path native = Native(path);
  fs::create_directories(native.parent_path());
  std::ofstream(native, std::ios::binary) << Relocated(text);
}

std::vector<std::string> TestEnvironment::LogMessages(
    const std::string& path) const {
  std::ifstream file(Native(path));
  std::vector<std::string> messages;
  for (std::string line; std::getline(file, line);) {
    const size_t start = line.find(":  ", line.find(", "));
    messages.push_back(start == std::string::npos ? "<no stamp>: " + line
                                                  : line.substr(start + 3));
  }
  return messages;
}

FakeServer::FakeServer(const std::string& ip, const std::string& port,
                       const std::string& host)
    : variables{
          {"LOCAL_ADDR", ip}, {"SERVER_PORT", port}, {"SERVER_NAME", host}} {}

int FakeServer::GetServerVariable(const char* name, char* buffer,
                                  uint32_t size) {
  const auto found = variables.find(name);
  if (found == variables.end() || found->second.size() + 1 > size) return 0;
  std::memcpy(buffer, found->second.c_str(), found->second.size() + 1);
  return 1;
}

void* FakeServer::AllocMem(uint32_t size) {
  if (!can_allocate) return nullptr;
  memory_.push_back(std::make_unique<char[]>(size));
  return memory_.back().get();
}

std::string WwwrootPath(const std::string& url) {
  std::string path = "c:\\inetpub\\wwwroot" + url;
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

}  // namespace mervane
