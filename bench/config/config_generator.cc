#include "bench/config/config_generator.h"

#include "config/config_schema.h"

namespace mervane {
namespace bench {

namespace {

void SetString(ConfigSection* section, const char* key, const char* text) {
  section->AddArray(key)->SetFirstString(text);
}

void AddMain(ConfigSection* ip) {
  ConfigSection* main = ip->AddSection(schema::kMain);
  ConfigSection* paths = main->AddSection(schema::kCommonPaths);
  SetString(paths->AddSection(schema::kSchemeA), "cgi-bin", "d:\\www\\cgi-bin");
  SetString(paths->AddSection(schema::kSchemeB), "cgi-bin",
            "d:\\www\\users-cgi");
  main->AddArray(schema::kDisable)->SetFirstInt(0);
  SetString(main, schema::kLog, "c:\\logs\\filter.log");
  SetString(main, schema::kSchemeBRootDir, "users");
  SetString(main, schema::kWebRoot, "d:\\www");
}

void AddHost(ConfigSection* hosts, int index) {
  std::string name = GeneratedHostName(index);
  ConfigSection* host = hosts->AddSection(name.c_str());
  SetString(host, schema::kUserDir, name.c_str());
  SetString(host, schema::kMapScheme,
            index % 2 == 0 ? schema::kSchemeA : schema::kSchemeB);
  std::string docs = "d:\\shared\\" + name + "\\docs";
  SetString(host->AddSection(schema::kFolderExceptions), "docs", docs.c_str());
}

}  // namespace

std::string GeneratedHostName(int index) {
  return "host" + std::to_string(index) + ".example.com";
}

void BuildMappingConfig(ConfigSection* root, int hosts) {
  ConfigSection* ip = root->AddSection(kGeneratedIp);
  ConfigSection* virtual_hosts = ip->AddSection(schema::kVirtualHosts);
  AddMain(ip);
  for (int index = 0; index < hosts; ++index) AddHost(virtual_hosts, index);
}

bool WriteMappingConfig(const std::string& path, int hosts) {
  ConfigFile file(path.c_str());
  BuildMappingConfig(&file, hosts);
  return file.Save() != 0;
}

}  // namespace bench
}  // namespace mervane
