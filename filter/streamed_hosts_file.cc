#include "filter/streamed_hosts_file.h"

#include "config/config_schema.h"

namespace mervane {
namespace {

// A virtual host: handed to the sink each time the reader has read it.
class HostSection : public ConfigSection {
 public:
  HostSection(const char* name, const ConfigSection* ip, HostSink* sink)
      : ConfigSection(name), ip_(*ip), sink_(sink) {}

  int LoadFrom(ConfigStream* stream) override {
    const int ended = ConfigSection::LoadFrom(stream);
    sink_->AddHost(ip_, *this);
    return ended;
  }

 private:
  const ConfigSection& ip_;
  HostSink* sink_;
};

// The "VIRTUAL_HOSTS" of an IP: holds no more than the host being read.
class HostsSection : public ConfigSection {
 public:
  HostsSection(const char* name, const ConfigSection* ip, HostSink* sink)
      : ConfigSection(name), ip_(ip), sink_(sink) {}

 protected:
  ConfigSection* NewSection(const char* name) override {
    // The reader is between hosts: those read so far are with the sink.
    for (int index = 1; index <= Count(); ++index) {
      if (!GetSectionAt(index)->IsNull()) Remove(index);
    }
    return new HostSection(name, ip_, sink_);
  }

 private:
  const ConfigSection* ip_;
  HostSink* sink_;
};

// An IP: its "VIRTUAL_HOSTS" streams its hosts.
class IpSection : public ConfigSection {
 public:
  IpSection(const char* name, HostSink* sink)
      : ConfigSection(name), sink_(sink) {}

 protected:
  ConfigSection* NewSection(const char* name) override {
    if (name != nullptr &&
        CompareNamesIgnoringCase(name, schema::kVirtualHosts) == 0) {
      return new HostsSection(name, this, sink_);
    }
    return ConfigSection::NewSection(name);
  }

 private:
  HostSink* sink_;
};

}  // namespace

StreamedHostsFile::StreamedHostsFile(const char* path, HostSink* sink)
    : ConfigFile(path), sink_(sink) {}

ConfigSection* StreamedHostsFile::NewSection(const char* name) {
  return new IpSection(name, sink_);
}

}  // namespace mervane
