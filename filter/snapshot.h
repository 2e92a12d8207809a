// Snapshot: one loaded configuration, as the mapping reads it. A snapshot
// never changes once built: requests map with the one they took when they
// started, while a reload builds the next one aside.
//
// Thread safety: any number of threads may call MapUrl on one snapshot at
// once; nothing in it is written after Load returns.

#ifndef MERVANE_FILTER_SNAPSHOT_H_
#define MERVANE_FILTER_SNAPSHOT_H_

#include <memory>
#include <string>

#include "config/config_section.h"
#include "filter/mapping_log.h"
#include "filter/request_memory.h"
#include "filter/server_variable_source.h"
#include "platform/isapi.h"

namespace mervane {

class Snapshot {
 public:
  // Reads the configuration file at path (in Windows or native form) and
  // builds its snapshot. Returns null, with the reason in *reason, when the
  // file cannot be read whole.
  static std::shared_ptr<const Snapshot> Load(const std::string& path,
                                              std::string* reason);

  Snapshot(const Snapshot&) = delete;
  Snapshot& operator=(const Snapshot&) = delete;

  // Maps the request's physical path for its virtual host. Returns
  // SF_STATUS_REQ_HANDLED_NOTIFICATION when it replaced record's physical
  // path (copied into the server's buffer when it fits, else into memory
  // from `memory`), SF_STATUS_REQ_NEXT_NOTIFICATION with record untouched
  // otherwise. The request's log lines go to *log.
  DWORD MapUrl(ServerVariableSource* variables, RequestMemory* memory,
               HTTP_FILTER_URL_MAP* record, MappingLog* log) const;

 private:
  explicit Snapshot(std::unique_ptr<ConfigFile> root);

  const std::unique_ptr<ConfigFile> root_;
};

}  // namespace mervane

#endif  // MERVANE_FILTER_SNAPSHOT_H_
