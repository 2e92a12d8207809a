#include "filter/snapshot_tree_test_util.h"

#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "config/config_schema.h"
#include "config/config_section.h"
#include "config/config_text_file.h"
#include "filter/snapshot_builder.h"
#include "filter/snapshot_image.h"
#include "filter/test_environment.h"

namespace mervane {
namespace {

// The snapshot of the tree loaded whole from text; null when the tree
// cannot be loaded. *ips receives the names of the root's children.
std::shared_ptr<const Snapshot> TreeSnapshot(const std::string& text,
                                             std::vector<std::string>* ips) {
  ConfigTextFile stream(text, 0, 0);
  ConfigSection root("root");
  root.LoadFrom(&stream);
  if (stream.Failed()) return nullptr;
  Snapshot::Builder builder;
  for (int i = 1; i <= root.Count(); ++i) {
    ips->push_back(root.At(i)->Name());
    const ConfigSection& ip = *root.GetSectionAt(i);
    const ConfigSection& hosts = *ip.GetSection(schema::kVirtualHosts);
    for (int j = 1; j <= hosts.Count(); ++j) {
      if (!hosts.GetSectionAt(j)->IsNull()) {
        builder.AddHost(ip, *hosts.GetSectionAt(j));
      }
    }
  }
  return builder.Finish(root);
}

// The builder's snapshot as the filter maps it: found in its own image, as
// in an index.
std::shared_ptr<const Snapshot> BuiltSnapshot(const std::string& text) {
  ConfigTextFile stream(text, 0, 0);
  std::string reason;
  const std::shared_ptr<const Snapshot> built =
      Snapshot::Builder::Build(&stream, &reason);
  if (built == nullptr) return nullptr;
  const platform::FileStamp stamp;
  auto image = std::make_shared<const std::string>(built->Image(stamp));
  ImageFault fault;
  return Snapshot::FromImage(image, image->data(), image->size(), stamp,
                             &fault);
}

// The names of the text's section and value lines, as the reader cuts
// them, and a few that no file holds.
std::vector<std::string> NamesIn(const std::string& text) {
  std::set<std::string> names = {"", "*", "none.com", "q.a.com"};
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    const size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos) continue;
    const char mark = line[first];
    size_t from = std::string::npos;
    if (mark == '{') from = line.find_first_not_of(" \t\r", first + 1);
    if (mark == '(') from = line.find(')', first);
    if (from == std::string::npos) continue;
    if (mark == '(') ++from;
    std::string name =
        line.substr(from, line.find_first_of(":=[\r", from) - from);
    names.insert(name.substr(0, 255));
  }
  return {names.begin(), names.end()};
}

// What one request gave: the status, the path and the log's file and
// messages (their time stamps left out).
std::string Outcome(const Snapshot* snapshot, const std::string& ip,
                    const std::string& port, const std::string& host,
                    const std::string& url) {
  if (snapshot == nullptr) return "not loaded";
  FakeServer server(ip, port, host);
  std::string path = WwwrootPath(url);
  path.resize(260);
  HTTP_FILTER_URL_MAP record = {url.c_str(), path.data(), 260};
  MappingLog log;
  const DWORD status = snapshot->MapUrl(&server, &server, &record, &log);
  std::string file;
  std::string lines = log.TakeLines(&file);
  std::string outcome = std::to_string(status) + " '" + record.pszPhysicalPath +
                        "' log '" + file + "':";
  for (size_t at = 0; (at = lines.find(":  ", at)) != std::string::npos;) {
    const size_t end = lines.find('\n', at);
    outcome += " [" + lines.substr(at + 3, end - at - 3) + "]";
    at = end;
  }
  return outcome;
}

template <typename Random>
const std::string& Pick(const std::vector<std::string>& from, Random& random) {
  return from[random() % from.size()];
}

// name with each ASCII letter's case flipped at random.
template <typename Random>
std::string Respelled(std::string name, Random& random) {
  for (char& c : name) {
    if (((c | 0x20) >= 'a' && (c | 0x20) <= 'z') && random() % 2 == 0) {
      c ^= 0x20;
    }
  }
  return name;
}

}  // namespace

std::string CompareWithTree(const std::string& text, uint32_t seed,
                            int requests) {
  const std::shared_ptr<const Snapshot> built = BuiltSnapshot(text);
  std::vector<std::string> ips = {"10.9.9.9"};
  const std::shared_ptr<const Snapshot> tree = TreeSnapshot(text, &ips);
  const std::vector<std::string> names = NamesIn(text);
  const std::vector<std::string> ports = {"80", "8080", "080"};
  std::minstd_rand random(seed);
  for (int i = 0; i < requests; ++i) {
    const std::string ip = Pick(ips, random);
    std::string host = Respelled(Pick(names, random), random);
    std::string port = Pick(ports, random);
    const size_t bar = host.find('|');
    if (bar != std::string::npos) {
      port = host.substr(bar + 1);
      host.resize(bar);
    }
    const std::string subdir = Respelled(Pick(names, random), random);
    const std::string urls[] = {"/", "/" + subdir, "/" + subdir + "/x.htm"};
    const std::string& url = urls[random() % 3];
    const std::string expected = Outcome(tree.get(), ip, port, host, url);
    const std::string got = Outcome(built.get(), ip, port, host, url);
    if (got != expected) {
      return "ip '" + ip + "' port '" + port + "' host '" + host + "' url '" +
             url + "':\n  builder: " + got + "\n  tree:    " + expected;
    }
  }
  return "";
}

namespace {

// Writes random configuration texts: sections and values in the schema's
// places as a rule, and now and then any name anywhere, any letter case, a
// wrong end line or none.
class ConfigurationWriter {
 public:
  explicit ConfigurationWriter(uint32_t seed) : random_(seed) {}

  std::string Write() {
    Body(kRoot);
    return text_;
  }

 private:
  // Pools of names: "parts" are VIRTUAL_HOSTS and MAIN, which hold hosts,
  // COMMON_PATHS and MAIN's settings; these hold UserDir, MapScheme,
  // FolderExceptions, SchemeA and SchemeB, which hold subdirectories.
  enum Pool { kRoot, kIps, kParts, kHosts, kSettings, kSubdirs, kPools };

  // A section of pool holds sections of kHolds[pool][0] and values of
  // kHolds[pool][1], fewer sections the deeper it is.
  void Body(Pool pool) {
    static constexpr Pool kHolds[kPools][2] = {
        {kIps, kIps},           {kParts, kSettings},  {kHosts, kHosts},
        {kSettings, kSettings}, {kSubdirs, kSubdirs}, {kSubdirs, kSubdirs}};
    for (int item = random_() % 6; item >= 0; --item) {
      if (random_() % (depth_ + 2) < 2) {
        Section(kHolds[pool][0]);
      } else {
        Value(kHolds[pool][1]);
      }
    }
  }

  // A name of the pool as a rule, else of any pool; in any letter case.
  std::string Name(Pool pool) {
    if (random_() % 8 == 0) pool = static_cast<Pool>(1 + random_() % 5);
    const std::vector<std::string>& names = names_[pool];
    std::string name = names[random_() % names.size()];
    return random_() % 4 == 0 ? Respelled(name, random_) : name;
  }

  void Section(Pool pool) {
    const std::string name = Name(pool);
    Line("{ " + name + ":");
    ++depth_;
    if (depth_ < 8) Body(pool);
    Ignored();
    --depth_;
    // Without its end line, the lines after a section join it.
    const int end = random_() % 12;
    if (end != 0) Line("} " + (end == 1 ? Name(pool) : name) + ";");
  }

  void Value(Pool pool) {
    static const char* const kTypes[] = {"string", "string", "STRING", "int"};
    static const char* const kTexts[] = {"SchemeA", "SchemeB", "schemea",
                                         "d:\\p1",  "x:y",     "1"};
    const std::string value_name = random_() % 6 == 0 ? "[v]" : "";
    Line(std::string("(") + kTypes[random_() % 4] + ")" + Name(pool) +
         value_name + "=" + kTexts[random_() % 6]);
  }

  // Now and then a blob, or a line the reader ignores.
  void Ignored() {
    const std::string lines[] = {
        "[ " + Name(kSettings) + ":\n1F\n] " + Name(kSettings) + ";",
        "{" + Name(kHosts) + ":", "(string)=x"};
    if (random_() % 6 == 0) Line(lines[random_() % 3]);
  }

  void Line(const std::string& line) {
    text_ += std::string(4 * depth_, ' ') + line + "\n";
  }

  std::minstd_rand random_;
  std::string text_;
  int depth_ = 0;
  const std::string long_name_ = std::string(255, 'h');
  const std::vector<std::string> names_[kPools] = {
      {},
      {"10.0.0.5", "10.0.0.6"},
      {schema::kVirtualHosts, schema::kMain},
      {"a.com", "b.com|8080", "*.com", "*", "x*y.com", "h\xe9.com", long_name_,
       long_name_ + "tail", schema::kCommonPaths, schema::kWebRoot,
       schema::kLog, schema::kSchemeBRootDir, schema::kDisable},
      {schema::kUserDir, schema::kMapScheme, schema::kFolderExceptions,
       schema::kSchemeA, schema::kSchemeB},
      {"docs", "cgi-bin", "a.com"},
  };
};

}  // namespace

std::string RandomConfiguration(uint32_t seed) {
  return ConfigurationWriter(seed).Write();
}

}  // namespace mervane
