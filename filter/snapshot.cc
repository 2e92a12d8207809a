#include "filter/snapshot.h"

#include <cstring>
#include <limits>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "config/config_schema.h"
#include "config/config_section.h"
#include "config/config_text_file.h"
#include "config/format_limits.h"
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

// Why the file at path could not be loaded: the system's error when it
// cannot be opened; else its nesting, the one other failure of a load.
std::string LoadFailure(const std::string& path) {
  const ConfigTextFile file(path.c_str(), ConfigTextFile::kRead);
  if (!file.IsOpen()) return platform::LastErrorText();
  return "nested deeper than " + std::to_string(kDeepestNesting) + " sections";
}

}  // namespace

// Fills a snapshot from a loaded tree. Every answer it stores is the tree's
// own answer for that name (GetSection, GetArray, FirstString, FirstInt), so
// the index finds what the tree would have found, null nodes and all.
class Snapshot::Builder {
 public:
  explicit Builder(Snapshot* snapshot) : snapshot_(*snapshot) {
    snapshot_.arena_.assign(1, '\0');
  }

  // False when the texts do not fit the arena's offsets.
  bool Build(const ConfigSection& root) {
    ForEachName(root, [&](const char* name) {
      const ConfigSection* ip = root.GetSection(name);
      if (!ip->IsNull()) AddIp(name, *ip);
    });
    snapshot_.arena_.shrink_to_fit();
    return !too_large_;
  }

 private:
  void AddIp(const char* name, const ConfigSection& ip) {
    const ConfigSection& main = *ip.GetSection(schema::kMain);
    const uint32_t scope = Append(name);
    const IpRecord record = {
        Append(TextOf(*main.GetArray(schema::kLog))),
        Append(TextOf(*main.GetArray(schema::kWebRoot))),
        Append(TextOf(*main.GetArray(schema::kSchemeBRootDir))),
        main.GetArray(schema::kDisable)->FirstInt() == 1};
    snapshot_.ips_.Insert(Arena(), 0, scope, record);

    const ConfigSection& common = *main.GetSection(schema::kCommonPaths);
    const std::vector<uint32_t> common_scopes = AddCommonPaths(common);
    const ConfigSection& hosts = *ip.GetSection(schema::kVirtualHosts);
    ForEachName(hosts, [&](const char* host_name) {
      const ConfigSection* host = hosts.GetSection(host_name);
      if (!host->IsNull()) {
        AddHost(scope, host_name, *host, common, common_scopes);
      }
    });
  }

  // Adds the IP's common paths sections; returns each one's scope by its
  // slot in common (0 for other slots).
  std::vector<uint32_t> AddCommonPaths(const ConfigSection& common) {
    std::vector<uint32_t> scopes(common.Count() + 1, 0);
    ForEachName(common, [&](const char* name) {
      const int index = common.IndexOf(name);
      const ConfigSection* section = common.GetSectionAt(index);
      if (section->IsNull() || scopes[index] != 0) return;
      scopes[index] = Append(name);
      AddPaths(&snapshot_.common_paths_, scopes[index], *section);
    });
    return scopes;
  }

  void AddHost(uint32_t ip_scope, const char* name, const ConfigSection& host,
               const ConfigSection& common,
               const std::vector<uint32_t>& common_scopes) {
    const uint32_t key = Append(name);
    HostRecord record;
    record.user_dir = Append(TextOf(*host.GetArray(schema::kUserDir)));
    // The section is found without regard to case, the scheme compared
    // exactly: "schemea" has SchemeA's common paths but no scheme.
    const char* scheme = TextOf(*host.GetArray(schema::kMapScheme));
    const int common_index = common.IndexOf(scheme);
    record.common_paths = common.GetSectionAt(common_index)->IsNull()
                              ? 0
                              : common_scopes[common_index];
    record.scheme =
        std::strcmp(scheme, schema::kSchemeA) == 0   ? HostScheme::kSchemeA
        : std::strcmp(scheme, schema::kSchemeB) == 0 ? HostScheme::kSchemeB
                                                     : HostScheme::kNone;
    record.has_exceptions =
        AddPaths(&snapshot_.exceptions_, key,
                 *host.GetSection(schema::kFolderExceptions)) != 0;
    snapshot_.hosts_.Insert(Arena(), ip_scope, key, record);
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
  bool too_large_ = false;
};

std::shared_ptr<const Snapshot> Snapshot::Load(const std::string& path,
                                               std::string* reason) {
  std::shared_ptr<Snapshot> snapshot;
  try {
    auto root = std::make_unique<ConfigFile>(path.c_str());
    if (!root->Load()) {
      *reason = LoadFailure(path);
    } else {
      snapshot.reset(new Snapshot());
      if (!Builder(snapshot.get()).Build(*root)) {
        *reason = "the configuration holds more than 4 GiB of text";
        snapshot.reset();
      }
    }
  } catch (const std::bad_alloc&) {
    *reason = "not enough memory to load the file";
    snapshot.reset();
  }
  // The tree was many times the snapshot's size; without this its freed
  // blocks would stay with the process.
  platform::ReleaseFreeMemory();
  return snapshot;
}

Snapshot::Snapshot() = default;

}  // namespace mervane
