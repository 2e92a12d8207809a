// StreamedHostsFile: a configuration file read so that its virtual hosts
// never all sit in the tree at once. Each host section is handed to a sink
// as soon as the reader has read it whole, and dropped from the tree before
// the next host is read; everything else is read into the tree as usual.
// A file of 100,000 hosts then costs the tree a few sections, where the
// whole tree is several times the file's size.
//
// The tree's own reader decides what is read where, so a host handed over is
// the section that the whole tree would have held under that name, with one
// exception the sink must watch for: a later section whose name differs
// only in case joins the earlier one in the whole tree, but here arrives as
// a host of its own (the same name, handed over again).
//
// Thread safety: as ConfigSection; the sink is called on the reading thread.

#ifndef MERVANE_FILTER_STREAMED_HOSTS_FILE_H_
#define MERVANE_FILTER_STREAMED_HOSTS_FILE_H_

#include "config/config_section.h"

namespace mervane {

class HostSink {
 public:
  virtual ~HostSink() = default;
  // Takes host, a section of the IP section ip's "VIRTUAL_HOSTS", read
  // whole. Both are valid only during the call.
  virtual void AddHost(const ConfigSection& ip, const ConfigSection& host) = 0;
};

class StreamedHostsFile : public ConfigFile {
 public:
  StreamedHostsFile(const char* path, HostSink* sink);

 protected:
  ConfigSection* NewSection(const char* name) override;

 private:
  HostSink* sink_;
};

}  // namespace mervane

#endif  // MERVANE_FILTER_STREAMED_HOSTS_FILE_H_
