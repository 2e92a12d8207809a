// Snapshot::Builder: reads a configuration text once and fills a snapshot's
// tables, so that the snapshot maps every request as the configuration tree
// loaded whole from that text would.
//
// The tree's own reader decides what goes where. Everything but the virtual
// hosts is read into a tree as usual: a few sections per IP. Each host's
// section is read into a tree of its own, turned into the snapshot's records
// and dropped before the next line. Of a dropped host the builder keeps what
// the whole tree's reader would still act on: its name, taken either by a
// section or by an array (which decides what a later line of that name
// does), and where each of its sections began. A later section of the same
// name, which the tree joins to the first, is read into the host after its
// earlier sections are read again from the text (a host of many sections is
// kept instead), and the host's records are made anew.
//
// A file of 100,000 hosts thus holds, besides its text and the snapshot, one
// small entry per host while it is read.
//
// Thread safety: a builder belongs to one thread.

#ifndef MERVANE_FILTER_SNAPSHOT_BUILDER_H_
#define MERVANE_FILTER_SNAPSHOT_BUILDER_H_

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "config/config_section.h"
#include "config/config_text_file.h"
#include "filter/name_table.h"
#include "filter/snapshot.h"

namespace mervane {

class Snapshot::Builder {
 public:
  // Reads the configuration text that stream (reading, at its start) holds
  // into a new snapshot, and closes the stream. Null, with the reason in
  // *reason, when the text is nested deeper than kDeepestNesting sections
  // or holds 4 GiB or more.
  static std::shared_ptr<Snapshot> Build(ConfigTextFile* stream,
                                         std::string* reason);

  Builder();
  Builder(const Builder&) = delete;
  Builder& operator=(const Builder&) = delete;

  // Adds host, a section of the IP section ip's "VIRTUAL_HOSTS" read whole.
  // Every answer it stores is the tree's own answer for that name
  // (GetSection, GetArray, FirstString), so the index finds what the tree
  // would have found, null nodes and all.
  void AddHost(const ConfigSection& ip, const ConfigSection& host);
  // Adds the IPs of root once every host is in, points each host at its
  // IP's common paths, and hands the snapshot over. Null when the texts do
  // not fit the arena's offsets.
  std::shared_ptr<Snapshot> Finish(const ConfigSection& root);

 private:
  class RootSection;
  class IpSection;
  class HostsSection;

  // Where a section of a host began: the offset of its begin line in the
  // text, and how many sections were open before it.
  struct Part {
    uint32_t line;
    uint8_t depth;
  };
  // A name that a child of an IP's "VIRTUAL_HOSTS" took.
  struct Place {
    Part first;  // of a section
    bool is_array;
  };
  // An IP's "COMMON_PATHS", and the scope of each of its sections by slot.
  struct CommonPaths {
    const ConfigSection* section = NullSection();
    std::vector<uint32_t> scopes;  // 0 for other slots
  };

  // The begin line of a child of ip's "VIRTUAL_HOSTS" was read, as part.
  void ReadHost(const ConfigSection& ip, Part part);
  // A line of ip's "VIRTUAL_HOSTS" added to the array of that name.
  void AddHostsArray(const ConfigSection& ip, const char* name);
  // Reads the section that began at part into host, which holds what the
  // sections of its name before it held.
  void ReadAgain(ConfigSection* host, Part part) const;
  // AddHost for the host named by the arena text at key, in the IP's scope;
  // replaces what an earlier section of that name added.
  void PutHost(uint32_t ip_scope, uint32_t key, const ConfigSection& host);

  // The scope of ip's hosts: the offset of its name.
  uint32_t IpScope(const ConfigSection& ip);
  CommonPaths AddCommonPaths(const ConfigSection& common);
  // Adds each path setting of section, present even without a text, in
  // scope. Returns how many there were.
  int AddPaths(NameTable<uint32_t>* table, uint32_t scope,
               const ConfigSection& section);
  // The offset of a copy of text in the arena; 0 for the empty text.
  uint32_t Append(const char* text);

  std::shared_ptr<Snapshot> snapshot_;
  ConfigTextFile* stream_ = nullptr;  // while Build reads
  NameTable<Place> places_;           // in the scope of the IP name's offset
  // A host name met more than once: where its sections after the first
  // began, or once there were many, the host itself.
  struct Joined {
    std::vector<Part> later;
    std::unique_ptr<ConfigSection> host;
  };
  std::unordered_map<uint32_t, Joined> joined_;  // by the name's offset
  std::unordered_map<const ConfigSection*, uint32_t> ip_scopes_;
  // The IPs with a wildcard or default host, by scope, and the label counts
  // of their wildcards.
  std::unordered_map<uint32_t, WildcardLabels> patterns_by_ip_;
  bool too_large_ = false;
};

}  // namespace mervane

#endif  // MERVANE_FILTER_SNAPSHOT_BUILDER_H_
