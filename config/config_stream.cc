#include "config/config_stream.h"

namespace mervane {

ConfigStream::ConfigStream(const char* path) : ConfigNode(path) {}

ConfigStream::~ConfigStream() = default;

int ConfigStream::IsOpen() const { return 0; }

int ConfigStream::Capabilities() const { return 0; }

}  // namespace mervane
