// The names the filter and the administration program give the
// configuration tree, and the name computed from a request.
//
//   IP                               section, one per real site IP
//     VIRTUAL_HOSTS                  section
//       HostKey                      section, one per virtual host
//         UserDir, MapScheme         string settings
//         FolderExceptions           section of UrlSubdir -> path settings
//     MAIN                           section
//       Disable (int), Log, SchemeBRootDir, WebRoot (strings)
//       COMMON_PATHS                 section
//         SchemeA, SchemeB           sections of UrlSubdir -> path settings
//
// A setting is an array of that name holding one unnamed value.

#ifndef MERVANE_CONFIG_CONFIG_SCHEMA_H_
#define MERVANE_CONFIG_CONFIG_SCHEMA_H_

#include <string>

namespace mervane {
namespace schema {

inline constexpr char kMain[] = "MAIN";
inline constexpr char kVirtualHosts[] = "VIRTUAL_HOSTS";
inline constexpr char kCommonPaths[] = "COMMON_PATHS";
inline constexpr char kSchemeA[] = "SchemeA";
inline constexpr char kSchemeB[] = "SchemeB";
inline constexpr char kFolderExceptions[] = "FolderExceptions";
inline constexpr char kDisable[] = "Disable";
inline constexpr char kLog[] = "Log";
inline constexpr char kWebRoot[] = "WebRoot";
inline constexpr char kSchemeBRootDir[] = "SchemeBRootDir";
inline constexpr char kUserDir[] = "UserDir";
inline constexpr char kMapScheme[] = "MapScheme";

// Where both deliverables find the configuration file's path.
inline constexpr char kRegistryKeyPath[] = "Software\\Halvost soft\\Mervane";
inline constexpr char kRegistryValueName[] = "Configuration File";

// The section name of a virtual host: the host name, followed by "|" and
// the port text as given when the port does not read (as atoi) as 80.
std::string HostKey(const char* host_name, const char* port_text);

}  // namespace schema
}  // namespace mervane

#endif  // MERVANE_CONFIG_CONFIG_SCHEMA_H_
