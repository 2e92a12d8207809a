// Generated mapping configurations for benchmarks: one real site IP with N
// virtual hosts, each with its directory, scheme and one folder exception,
// and the IP's general options and common paths.

#ifndef MERVANE_BENCH_CONFIG_CONFIG_GENERATOR_H_
#define MERVANE_BENCH_CONFIG_CONFIG_GENERATOR_H_

#include <string>

#include "config/config_section.h"

namespace mervane {
namespace bench {

// The one IP of a generated configuration.
inline constexpr char kGeneratedIp[] = "10.0.0.5";

// The host name (and section name) of host `index`, 0-based:
// "host<index>.example.com". Its hosts serve on port 80.
std::string GeneratedHostName(int index);

// Adds the IP with `hosts` virtual hosts to root, in the order in which the
// administration program creates them. Even hosts use SchemeA, odd ones
// SchemeB; each has the folder exception "docs".
void BuildMappingConfig(ConfigSection* root, int hosts);

// Writes that configuration to path through ConfigFile::Save. Returns false
// when the file could not be written.
bool WriteMappingConfig(const std::string& path, int hosts);

}  // namespace bench
}  // namespace mervane

#endif  // MERVANE_BENCH_CONFIG_CONFIG_GENERATOR_H_
