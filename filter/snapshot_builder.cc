#include "filter/snapshot_builder.h"

#include <cstring>
#include <limits>
#include <string>
#include <utility>

#include "config/config_schema.h"
#include "config/config_stream.h"
#include "config/format_limits.h"
#include "config/host_pattern.h"

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

template <typename Visit>
void ForEachIp(const ConfigSection& root, Visit visit) {
  ForEachName(root, [&](const char* name) {
    const ConfigSection* ip = root.GetSection(name);
    if (!ip->IsNull()) visit(*ip);
  });
}

constexpr char kTooLarge[] = "the configuration holds more than 4 GiB of text";

// How many sections of one host name are read again before the host is
// kept whole instead.
constexpr size_t kMostSectionsReadAgain = 16;

}  // namespace

// The root of the tree being read: its sections are IPs.
class Snapshot::Builder::RootSection : public ConfigSection {
 public:
  explicit RootSection(Builder* builder)
      : ConfigSection(static_cast<const char*>(nullptr)), builder_(builder) {}

 protected:
  ConfigSection* NewSection(const char* name) override;

 private:
  Builder* builder_;
};

// An IP: its "VIRTUAL_HOSTS" hands its hosts to the builder.
class Snapshot::Builder::IpSection : public ConfigSection {
 public:
  IpSection(const char* name, Builder* builder)
      : ConfigSection(name), builder_(builder) {}

 protected:
  ConfigSection* NewSection(const char* name) override;

 private:
  Builder* builder_;
};

// The "VIRTUAL_HOSTS" of an IP. Reads its lines as ConfigSection::LoadFrom
// does, but holds no child: the builder keeps the names they took.
class Snapshot::Builder::HostsSection : public ConfigSection {
 public:
  HostsSection(const char* name, const ConfigSection* ip, Builder* builder)
      : ConfigSection(name), ip_(*ip), builder_(builder) {}

  int LoadFrom(ConfigStream*) override {
    ConfigTextFile& stream = *builder_->stream_;
    for (;;) {
      const size_t line = stream.Position();
      if (!stream.NextLine()) return 0;
      const int event = stream.ParseLine();
      switch (event) {
        case EventSectionBegin:
          builder_->ReadHost(ip_,
                             Part{static_cast<uint32_t>(line),
                                  static_cast<uint8_t>(stream.Depth() - 1)});
          break;
        case EventSectionEnd:
          return 1;
        case EventBlobBegin: {
          // A blob without byte lines adds no array.
          const std::string array = ArrayName(&stream);
          const bool has_bytes = stream.CountBlobLines() > 0;
          stream.ReadBlob(nullptr, 0);
          if (has_bytes) builder_->AddHostsArray(ip_, array.c_str());
          break;
        }
        default:
          if (event >= EventInt && event <= EventInt64) {
            builder_->AddHostsArray(ip_, ArrayName(&stream));
          }
          break;
      }
    }
  }

 private:
  static const char* ArrayName(ConfigStream* stream) {
    const char* value_name;
    return stream->ParsedName(&value_name);
  }

  const ConfigSection& ip_;
  Builder* builder_;
};

ConfigSection* Snapshot::Builder::RootSection::NewSection(const char* name) {
  return new IpSection(name, builder_);
}

ConfigSection* Snapshot::Builder::IpSection::NewSection(const char* name) {
  if (name != nullptr &&
      CompareNamesIgnoringCase(name, schema::kVirtualHosts) == 0) {
    return new HostsSection(name, this, builder_);
  }
  return ConfigSection::NewSection(name);
}

std::shared_ptr<Snapshot> Snapshot::Builder::Build(ConfigTextFile* stream,
                                                   std::string* reason) {
  // Offsets of lines in the text are kept in 32 bits, as those of the arena.
  if (stream->Text().size() >= std::numeric_limits<uint32_t>::max()) {
    *reason = kTooLarge;
    return nullptr;
  }
  Builder builder;
  builder.stream_ = stream;
  RootSection root(&builder);
  root.LoadFrom(stream);
  if (stream->Failed()) {
    *reason =
        "nested deeper than " + std::to_string(kDeepestNesting) + " sections";
    return nullptr;
  }
  // What only the reading needed leaves before the snapshot's last copy.
  stream->Close();
  builder.stream_ = nullptr;
  builder.places_ = NameTable<Place>();
  builder.joined_.clear();
  std::shared_ptr<Snapshot> snapshot = builder.Finish(root);
  if (snapshot == nullptr) *reason = kTooLarge;
  return snapshot;
}

Snapshot::Builder::Builder() : snapshot_(new Snapshot()) {
  snapshot_->arena_.assign(1, '\0');
}

void Snapshot::Builder::ReadHost(const ConfigSection& ip, Part part) {
  const uint32_t scope = IpScope(ip);
  const char* name = stream_->ParsedName(nullptr);
  const auto* place = places_.Find(snapshot_->arena_.data(), scope, name);
  // A name an array took: the tree's AddSection refuses the section, and
  // its lines go to "VIRTUAL_HOSTS".
  if (place != nullptr && place->record.is_array) return;
  if (place == nullptr) {
    const uint32_t key = Append(name);
    places_.Insert(snapshot_->arena_, scope, key, Place{part, false});
    ConfigSection host(name);
    host.LoadFrom(stream_);
    PutHost(scope, key, host);
    return;
  }
  // The tree joins a later section of the name to the host.
  const uint32_t key = place->name;
  Joined& joined = joined_[key];
  std::unique_ptr<ConfigSection> host = std::move(joined.host);
  if (host == nullptr) {
    host = std::make_unique<ConfigSection>(snapshot_->Text(key));
    ReadAgain(host.get(), place->record.first);
    for (const Part& earlier : joined.later) ReadAgain(host.get(), earlier);
  }
  host->LoadFrom(stream_);
  PutHost(scope, key, *host);
  // A host of many sections is kept rather than read again each time,
  // which would take time that grows with the square of their number.
  if (joined.later.size() < kMostSectionsReadAgain) {
    joined.later.push_back(part);
  } else {
    joined.host = std::move(host);
  }
}

void Snapshot::Builder::AddHostsArray(const ConfigSection& ip,
                                      const char* name) {
  const uint32_t scope = IpScope(ip);
  // A name a section took: the tree's AddArray refuses the array.
  if (places_.Find(snapshot_->arena_.data(), scope, name) != nullptr) return;
  const uint32_t key = Append(name);
  places_.Insert(snapshot_->arena_, scope, key, Place{{0, 0}, true});
}

void Snapshot::Builder::ReadAgain(ConfigSection* host, Part part) const {
  ConfigTextFile again(stream_->Text(), part.line, part.depth);
  // The begin line opens the section as it did the first time.
  again.NextLine();
  again.ParseLine();
  host->LoadFrom(&again);
}

void Snapshot::Builder::AddHost(const ConfigSection& ip,
                                const ConfigSection& host) {
  if (host.Name() == nullptr || ip.Name() == nullptr) return;
  const uint32_t scope = IpScope(ip);
  PutHost(scope, Append(host.Name()), host);
}

void Snapshot::Builder::PutHost(uint32_t ip_scope, uint32_t key,
                                const ConfigSection& host) {
  // A name no request is ever served by stays out of the index, so that
  // not even a host name that spells it finds it.
  const HostPattern pattern = HostPatternOf(snapshot_->Text(key));
  if (pattern == HostPattern::kInvalid) return;
  if (pattern != HostPattern::kExact) {
    WildcardLabels& labels = patterns_by_ip_[ip_scope];
    if (pattern == HostPattern::kWildcard) labels.Add(snapshot_->Text(key));
  }
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
      AddPaths(&snapshot_->exceptions_, key,
               *host.GetSection(schema::kFolderExceptions)) != 0;
  snapshot_->hosts_.Insert(snapshot_->arena_, ip_scope, key, record);
}

std::shared_ptr<Snapshot> Snapshot::Builder::Finish(const ConfigSection& root) {
  Snapshot& snapshot = *snapshot_;
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
    snapshot.ips_.Insert(snapshot.arena_, 0, scope, record);
    common_by_ip.emplace(
        scope, AddCommonPaths(*main.GetSection(schema::kCommonPaths)));
  });
  snapshot.hosts_.ForEach([&](uint32_t ip_scope, auto* host) {
    const CommonPaths& common = common_by_ip[ip_scope];
    // The section is found without regard to case, the scheme compared
    // exactly: "schemea" has SchemeA's common paths but no scheme.
    const int index =
        common.section->IndexOf(snapshot.Text(host->record.common_paths));
    host->record.common_paths = common.section->GetSectionAt(index)->IsNull()
                                    ? 0
                                    : common.scopes[index];
  });
  snapshot.arena_.shrink_to_fit();
  if (too_large_) return nullptr;
  return std::move(snapshot_);
}

uint32_t Snapshot::Builder::IpScope(const ConfigSection& ip) {
  auto [scope, added] = ip_scopes_.emplace(&ip, 0);
  if (added) scope->second = Append(ip.Name());
  return scope->second;
}

Snapshot::Builder::CommonPaths Snapshot::Builder::AddCommonPaths(
    const ConfigSection& common) {
  CommonPaths paths = {&common, std::vector<uint32_t>(common.Count() + 1)};
  ForEachName(common, [&](const char* name) {
    const int index = common.IndexOf(name);
    const ConfigSection* section = common.GetSectionAt(index);
    if (section->IsNull() || paths.scopes[index] != 0) return;
    paths.scopes[index] = Append(name);
    AddPaths(&snapshot_->common_paths_, paths.scopes[index], *section);
  });
  return paths;
}

int Snapshot::Builder::AddPaths(NameTable<uint32_t>* table, uint32_t scope,
                                const ConfigSection& section) {
  int count = 0;
  ForEachName(section, [&](const char* name) {
    const ConfigArray* path = section.GetArray(name);
    if (path->IsNull()) return;
    const uint32_t name_offset = Append(name);
    const uint32_t path_offset = Append(TextOf(*path));
    table->Insert(snapshot_->arena_, scope, name_offset, path_offset);
    ++count;
  });
  return count;
}

uint32_t Snapshot::Builder::Append(const char* text) {
  PageVector<char>& arena = snapshot_->arena_;
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

}  // namespace mervane
