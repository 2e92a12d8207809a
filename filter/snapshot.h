// Snapshot: one loaded configuration, as the mapping reads it. A snapshot
// never changes once built: requests map with the one they took when they
// started, while a reload builds the next one aside.
//
// It is not the configuration tree but an index made for a request's
// answers, computed as the file is read (Snapshot::Builder, which gives the
// answers of the tree loaded whole without ever holding all of it). It holds,
// for each real site IP, its log file, Disable, WebRoot and SchemeBRootDir and
// its common paths; for each virtual host of an IP, its UserDir, its scheme
// (SchemeA, SchemeB or none, and which of the IP's common path sections its
// MapScheme names) and its folder exceptions. All texts sit in one arena;
// four flat hash tables of offsets find an IP, a host of an IP, and an entry
// of a host's exceptions or an IP's common paths, each by its name without
// regard to letter case. They take their memory as whole pages, which leave
// the process with the snapshot. A host entry whose name no request can
// match (a '*' elsewhere than in "*" or a leading "*.") is left out.
//
// A snapshot's arena and tables are plain offsets and fixed-size records,
// so the whole of it can be written as one image (Image) and found again in
// that image's bytes, mapped or read, without a copy (FromImage): the
// compiled index beside the configuration file (index_file.h).
//
// Thread safety: any number of threads may call MapUrl on one snapshot at
// once; nothing in it is written after Load returns.

#ifndef MERVANE_FILTER_SNAPSHOT_H_
#define MERVANE_FILTER_SNAPSHOT_H_

#include <cstdint>
#include <memory>
#include <string>

#include "config/wildcard_labels.h"
#include "filter/mapped_site.h"
#include "filter/mapping_log.h"
#include "filter/name_table.h"
#include "filter/page_allocator.h"
#include "filter/request_memory.h"
#include "filter/server_variable_source.h"
#include "filter/snapshot_image.h"
#include "platform/isapi.h"
#include "platform/platform.h"

namespace mervane {

// A host's MapScheme, compared exactly: "schemea" is none.
enum class HostScheme : uint8_t { kNone, kSchemeA, kSchemeB };

class Snapshot {
 public:
  // Reads a configuration text into a snapshot (snapshot_builder.h).
  class Builder;

  // Why a file could not be loaded.
  struct LoadFailure {
    std::string reason;  // for people: the system's text, or the content's
    // True when the file's content refused it (nested too deep, too much
    // text), so that only another version of the file can load. Otherwise
    // the system failed the read (the open or a read, memory), and the same
    // file may load when read again.
    bool in_content = false;
  };

  // Reads the configuration file at path (in Windows or native form) and
  // builds its snapshot. Returns null, with *failure filled, when the file
  // cannot be read whole.
  static std::shared_ptr<const Snapshot> Load(const std::string& path,
                                              LoadFailure* failure);

  // The snapshot as one image (snapshot_image.h) of the text whose stamp
  // is text.
  std::string Image(const platform::FileStamp& text) const;
  // The snapshot that image describes, found in the image's bytes
  // themselves: holder keeps them for the snapshot's life. Null, with the
  // fault, when they are no whole image of that text.
  static std::shared_ptr<const Snapshot> FromImage(
      std::shared_ptr<const void> holder, const char* image, std::size_t size,
      const platform::FileStamp& text, ImageFault* fault);

  Snapshot(const Snapshot&) = delete;
  Snapshot& operator=(const Snapshot&) = delete;

  // Maps the request's physical path for its virtual host: the IP's entry
  // named by the request's exact key, else the first wildcard or default
  // entry in HostKeyCandidates' order. Returns
  // SF_STATUS_REQ_HANDLED_NOTIFICATION when it replaced record's physical
  // path (copied into the server's buffer when it fits, else into memory
  // from `memory`), SF_STATUS_REQ_NEXT_NOTIFICATION with record untouched
  // otherwise. The request's log lines go to *log; what served a mapped
  // request goes to *site, if given.
  DWORD MapUrl(ServerVariableSource* variables, RequestMemory* memory,
               HTTP_FILTER_URL_MAP* record, MappingLog* log,
               MappedSite* site = nullptr) const;

 private:
  // What the mapping reads of a real site IP. Texts are arena offsets; 0 is
  // the empty text, which also stands for a missing setting.
  struct IpRecord {
    uint32_t log;
    uint32_t web_root;
    uint32_t scheme_b_root;
    bool disabled;      // "Disable", read as an int, is 1
    bool has_patterns;  // a wildcard or default host is among its hosts
    // The label counts of its wildcard hosts' names, each added whole
    // (port included) as the file spells it; none without a wildcard.
    WildcardLabels wildcard_labels;
  };
  // What the mapping reads of a virtual host. Its folder exceptions are
  // found in the scope of its name's offset.
  struct HostRecord {
    uint32_t user_dir;
    // The scope of the IP's common paths section named by MapScheme; 0
    // when there is none.
    uint32_t common_paths;
    HostScheme scheme;
    bool has_exceptions;
  };

  Snapshot();

  // The texts: the arena's, or an image's when the snapshot views one.
  const char* Arena() const {
    return image_text_ != nullptr ? image_text_ : arena_.data();
  }
  const char* Text(uint32_t offset) const { return Arena() + offset; }
  // The IP whose section the address text ip names: an IPv6 address in any
  // spelling by its section name, any other text as it is. Null for none.
  const NameTable<IpRecord>::Entry* FindIp(const char* ip) const;
  // The path text of the host's folder exception for subdir, else of the
  // common path for subdir that the host's scheme names; null for neither.
  const char* EntryPath(const NameTable<HostRecord>::Entry& host,
                        const char* subdir) const;

  // The texts of the index, each followed by a zero byte; offset 0 is the
  // empty text.
  PageVector<char> arena_;
  NameTable<IpRecord> ips_;           // in scope 0
  NameTable<HostRecord> hosts_;       // in the scope of the IP name's offset
  NameTable<uint32_t> exceptions_;    // path texts; scope: host name's offset
  NameTable<uint32_t> common_paths_;  // path texts; scope: section name's
  // The image a snapshot made by FromImage views, and its arena.
  std::shared_ptr<const void> image_;
  const char* image_text_ = nullptr;
  std::size_t image_text_size_ = 0;
};

}  // namespace mervane

#endif  // MERVANE_FILTER_SNAPSHOT_H_
