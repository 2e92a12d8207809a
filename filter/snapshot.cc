#include "filter/snapshot.h"

#include <cstring>
#include <limits>
#include <new>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "config/config_schema.h"
#include "config/config_section.h"
#include "config/config_text_file.h"
#include "config/format_limits.h"
#include "config/host_pattern.h"
#include "filter/streamed_hosts_file.h"
#include "platform/platform.h"

namespace mervane {
namespace {

// The text of a setting array; the empty text when it holds none.
const char* TextOf(const ConfigArray& array) {
  const char* text = array.FirstString();
  return text != nullptr ? text : "";
}

// Calls visit with the name of each named child of section, in slot order.
// Only named children can be found by name.
template <typename Visit>
void ForEachName(const ConfigSection& section, Visit visit) {
  for (int index = 1; index <= section.Count(); ++index) {
    const ConfigNode* child = section.At(index);
    if (child != nullptr && child->Name() != nullptr) visit(child->Name());
  }
}

// Reads the file at path into root, as root->Load() would, but keeps why
// it failed in *failure, as it failed: read a second time, the file may
// open, or be another version. The file's text is freed on return.
bool ReadFile(const std::string& path, ConfigSection* root,
              Snapshot::LoadFailure* failure) {
  ConfigTextFile file(path.c_str(), ConfigTextFile::kRead);
  if (!file.IsOpen()) {
    failure->reason = file.ReadFailure();
    if (failure->reason.empty()) failure->reason = "the file cannot be read";
    return false;
  }
  root->LoadFrom(&file);
  if (file.Failed()) {
    *failure = {
        "nested deeper than " + std::to_string(kDeepestNesting) + " sections",
        true};
    return false;
  }
  return true;
}

}  // namespace

// Fills a snapshot from a tree: the hosts one by one (AddHost), then the
// IPs (Finish). Every answer it stores is the tree's own answer for that
// name (GetSection, GetArray, FirstString, FirstInt), so the index finds
// what the tree would have found, null nodes and all.
class Snapshot::Builder : public HostSink {
 public:
  explicit Builder(Snapshot* snapshot) : snapshot_(*snapshot) {
    snapshot_.arena_.assign(1, '\0');
  }

  // True when a host came twice: the sections of one name that a whole
  // tree joins came apart, and the snapshot is to be built from that tree.
  bool met_host_twice() const { return met_host_twice_; }

  void AddHost(const ConfigSection& ip, const ConfigSection& host) override {
    const char* name = host.Name();
    if (name == nullptr || ip.Name() == nullptr) return;
    // A name no request is ever served by stays out of the index, so that
    // not even a host name that spells it finds it.
    const HostPattern pattern = HostPatternOf(name);
    if (pattern == HostPattern::kInvalid) return;
    const uint32_t ip_scope = IpScope(ip);
    if (pattern != HostPattern::kExact) {
      WildcardLabels& labels = patterns_by_ip_[ip_scope];
      if (pattern == HostPattern::kWildcard) labels.Add(name);
    }
    if (snapshot_.hosts_.Find(Arena(), ip_scope, name) != nullptr) {
      met_host_twice_ = true;
      return;
    }
    const uint32_t key = Append(name);
    HostRecord record;
    record.user_dir = Append(TextOf(*host.GetArray(schema::kUserDir)));
    const char* scheme = TextOf(*host.GetArray(schema::kMapScheme));
    record.scheme =
        std::strcmp(scheme, schema::kSchemeA) == 0   ? HostScheme::kSchemeA
        : std::strcmp(scheme, schema::kSchemeB) == 0 ? HostScheme::kSchemeB
                                                     : HostScheme::kNone;
    // Until Finish, the offset of the MapScheme text: the IP's common paths
    // may come later in the file.
    record.common_paths = Append(scheme);
    record.has_exceptions =
        AddPaths(&snapshot_.exceptions_, key,
                 *host.GetSection(schema::kFolderExceptions)) != 0;
    snapshot_.hosts_.Insert(Arena(), ip_scope, key, record);
  }

  // Adds the hosts of every IP of a whole tree.
  void AddHostsOf(const ConfigSection& root) {
    ForEachIp(root, [&](const ConfigSection& ip) {
      const ConfigSection& hosts = *ip.GetSection(schema::kVirtualHosts);
      ForEachName(hosts, [&](const char* name) {
        const ConfigSection* host = hosts.GetSection(name);
        if (!host->IsNull()) AddHost(ip, *host);
      });
    });
  }

  // Adds the IPs of root, once every host is in, and points each host at
  // its IP's common paths. False when the texts do not fit the arena's
  // offsets.
  bool Finish(const ConfigSection& root) {
    std::unordered_map<uint32_t, CommonPaths> common_by_ip;
    ForEachIp(root, [&](const ConfigSection& ip) {
      const uint32_t scope = IpScope(ip);
      const ConfigSection& main = *ip.GetSection(schema::kMain);
      const auto patterns = patterns_by_ip_.find(scope);
      const IpRecord record = {
          Append(TextOf(*main.GetArray(schema::kLog))),
          Append(TextOf(*main.GetArray(schema::kWebRoot))),
          Append(TextOf(*main.GetArray(schema::kSchemeBRootDir))),
          main.GetArray(schema::kDisable)->FirstInt() == 1,
          patterns != patterns_by_ip_.end(),
          patterns != patterns_by_ip_.end() ? patterns->second
                                            : WildcardLabels{}};
      snapshot_.ips_.Insert(Arena(), 0, scope, record);
      common_by_ip.emplace(
          scope, AddCommonPaths(*main.GetSection(schema::kCommonPaths)));
    });
    snapshot_.hosts_.ForEach([&](uint32_t ip_scope, auto* host) {
      const CommonPaths& common = common_by_ip[ip_scope];
      // The section is found without regard to case, the scheme compared
      // exactly: "schemea" has SchemeA's common paths but no scheme.
      const int index =
          common.section->IndexOf(snapshot_.Text(host->record.common_paths));
      host->record.common_paths = common.section->GetSectionAt(index)->IsNull()
                                      ? 0
                                      : common.scopes[index];
    });
    snapshot_.arena_.shrink_to_fit();
    return !too_large_;
  }

 private:
  // An IP's "COMMON_PATHS", and the scope of each of its sections by slot.
  struct CommonPaths {
    const ConfigSection* section = NullSection();
    std::vector<uint32_t> scopes;  // 0 for other slots
  };

  template <typename Visit>
  static void ForEachIp(const ConfigSection& root, Visit visit) {
    ForEachName(root, [&](const char* name) {
      const ConfigSection* ip = root.GetSection(name);
      if (!ip->IsNull()) visit(*ip);
    });
  }

  // The scope of ip's hosts: the offset of its name.
  uint32_t IpScope(const ConfigSection& ip) {
    auto [scope, added] = ip_scopes_.emplace(&ip, 0);
    if (added) scope->second = Append(ip.Name());
    return scope->second;
  }

  CommonPaths AddCommonPaths(const ConfigSection& common) {
    CommonPaths paths = {&common, std::vector<uint32_t>(common.Count() + 1)};
    ForEachName(common, [&](const char* name) {
      const int index = common.IndexOf(name);
      const ConfigSection* section = common.GetSectionAt(index);
      if (section->IsNull() || paths.scopes[index] != 0) return;
      paths.scopes[index] = Append(name);
      AddPaths(&snapshot_.common_paths_, paths.scopes[index], *section);
    });
    return paths;
  }

  // Adds each path setting of section, present even without a text, in
  // scope. Returns how many there were.
  int AddPaths(NameTable<uint32_t>* table, uint32_t scope,
               const ConfigSection& section) {
    int count = 0;
    ForEachName(section, [&](const char* name) {
      const ConfigArray* path = section.GetArray(name);
      if (path->IsNull()) return;
      const uint32_t name_offset = Append(name);
      table->Insert(Arena(), scope, name_offset, Append(TextOf(*path)));
      ++count;
    });
    return count;
  }

  // The offset of a copy of text in the arena; 0 for the empty text.
  uint32_t Append(const char* text) {
    PageVector<char>& arena = snapshot_.arena_;
    const size_t size = std::strlen(text);
    if (size == 0) return 0;
    if (arena.size() + size >= std::numeric_limits<uint32_t>::max()) {
      too_large_ = true;
      return 0;
    }
    const auto offset = static_cast<uint32_t>(arena.size());
    arena.insert(arena.end(), text, text + size + 1);
    return offset;
  }

  const char* Arena() const { return snapshot_.arena_.data(); }

  Snapshot& snapshot_;
  std::unordered_map<const ConfigSection*, uint32_t> ip_scopes_;
  // The IPs with a wildcard or default host, by scope, and the label counts
  // of their wildcards.
  std::unordered_map<uint32_t, WildcardLabels> patterns_by_ip_;
  bool met_host_twice_ = false;
  bool too_large_ = false;
};

std::shared_ptr<const Snapshot> Snapshot::Load(const std::string& path,
                                               LoadFailure* failure) {
  std::shared_ptr<Snapshot> snapshot;
  try {
    LoadFailure streamed;
    snapshot = Read(path, false, &streamed);
    if (snapshot == nullptr && !streamed.reason.empty()) {
      *failure = streamed;
    } else if (snapshot == nullptr) {
      // Rare: only a file written by hand holds such names.
      snapshot = Read(path, true, failure);
    }
  } catch (const std::bad_alloc&) {
    *failure = {"out of memory", false};
    snapshot.reset();
  }
  // The tree's freed blocks would otherwise stay with the process.
  platform::ReleaseFreeMemory();
  return snapshot;
}

std::shared_ptr<Snapshot> Snapshot::Read(const std::string& path,
                                         bool whole_tree,
                                         LoadFailure* failure) {
  std::shared_ptr<Snapshot> snapshot(new Snapshot());
  Builder builder(snapshot.get());
  std::unique_ptr<ConfigFile> root;
  if (whole_tree) {
    root = std::make_unique<ConfigFile>(path.c_str());
  } else {
    root = std::make_unique<StreamedHostsFile>(path.c_str(), &builder);
  }
  if (!ReadFile(path, root.get(), failure)) return nullptr;
  if (whole_tree) builder.AddHostsOf(*root);
  if (builder.met_host_twice()) return nullptr;
  if (!builder.Finish(*root)) {
    *failure = {"the configuration holds more than 4 GiB of text", true};
    return nullptr;
  }
  return snapshot;
}

Snapshot::Snapshot() = default;

}  // namespace mervane
