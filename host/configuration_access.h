// Whether this process can read the configuration the filter library will
// read: the registry value that names the file, and the file. The module
// asks it at start-up as the server's user, so that a registry or file that
// user cannot read stops the server with the reason instead of leaving every
// host unmapped.
//
// Thread safety: reads MERVANE_REGISTRY and MERVANE_DRIVES from the
// environment, which no other thread may change meanwhile.

#ifndef MERVANE_HOST_CONFIGURATION_ACCESS_H_
#define MERVANE_HOST_CONFIGURATION_ACCESS_H_

#include <string>

namespace mervane {
namespace host {

// Returns the empty text when the registry value can be read and the file
// it names can be opened and read, or when that file does not exist yet but
// its folder does: the library loads a file once it is created, as it
// reloads a changed one. Otherwise says why not, naming the key, the value
// or the file.
std::string ConfigurationReadError();

}  // namespace host
}  // namespace mervane

#endif  // MERVANE_HOST_CONFIGURATION_ACCESS_H_
