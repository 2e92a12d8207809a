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
#include "filter/test_environment.h"

namespace mervane {
namespace {

// The snapshot of the tree loaded whole from text; null when the tree
// cannot be loaded.
std::shared_ptr<const Snapshot> TreeSnapshot(const std::string& text) {
  ConfigTextFile stream(text, 0, 0);
  ConfigSection root("root");
  root.LoadFrom(&stream);
  if (stream.Failed()) return nullptr;
  Snapshot::Builder builder;
  for (int i = 1; i <= root.Count(); ++i) {
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

std::shared_ptr<const Snapshot> BuiltSnapshot(const std::string& text) {
  ConfigTextFile stream(text, 0, 0);
  std::string reason;
  return Snapshot::Builder::Build(&stream, &reason);
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
  const std::shared_ptr<const Snapshot> tree = TreeSnapshot(text);
  const std::vector<std::string> names = NamesIn(text);
  const std::vector<std::string> ports = {"80", "8080", "080"};
  std::minstd_rand random(seed);
  for (int i = 0; i < requests; ++i) {
    const std::string ip = Pick(names, random);
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

// Writes random configuration texts: sections in the schema's places as a
// rule, and now and then any name anywhere, a line left out or a wrong end
// line.
class ConfigurationWriter {
 public:
  explicit ConfigurationWriter(uint32_t seed) : random_(seed) {}

  std::string Write() {
    for (int count = 1 + random_() % 3; count > 0; --count) {
      Section(kIps, [&] {
        for (int part = random_() % 4; part >= 0; --part) {
          if (random_() % 2 == 0) {
            Section(kHostsSections, [&] { Hosts(); });
          } else {
            Section(kMains, [&] { Main(); });
          }
        }
      });
    }
    return text_;
  }

 private:
  enum Pool {
    kIps,
    kHostsSections,
    kHosts,
    kMains,
    kSettings,
    kSubdirs,
    kPools
  };

  void Hosts() {
    for (int count = random_() % 6; count >= 0; --count) {
      if (random_() % 5 == 0) {
        Value(kHosts);
        continue;
      }
      Section(kHosts, [&] {
        for (int item = random_() % 4; item >= 0; --item) {
          if (random_() % 3 == 0) {
            Section(kSettings, [&] { Entries(); });
          } else {
            Value(kSettings);
          }
        }
      });
    }
  }

  void Main() {
    for (int item = random_() % 5; item >= 0; --item) {
      if (random_() % 3 != 0) {
        Value(kSettings);
        continue;
      }
      Section(kMains, [&] {
        for (int scheme = random_() % 3; scheme >= 0; --scheme) {
          Section(kSettings, [&] { Entries(); });
        }
      });
    }
  }

  void Entries() {
    for (int entry = random_() % 3; entry >= 0; --entry) Value(kSubdirs);
  }

  // A name of the pool as a rule, else of any pool; in any letter case.
  std::string Name(Pool pool) {
    if (random_() % 8 == 0) pool = static_cast<Pool>(random_() % kPools);
    const std::vector<std::string>& names = names_[pool];
    std::string name = names[random_() % names.size()];
    return random_() % 4 == 0 ? Respelled(name, random_) : name;
  }

  template <typename Body>
  void Section(Pool pool, Body body) {
    const std::string name = Name(pool);
    Line("{ " + name + ":");
    ++depth_;
    if (depth_ < 8) body();
    Junk();
    --depth_;
    switch (random_() % 12) {
      case 0:
        break;  // no end line: the next lines join this section
      case 1:
        Line("} " + Name(pool) + ";");
        break;
      default:
        Line("} " + name + ";");
        break;
    }
  }

  void Value(Pool pool) {
    static const char* const kTypes[] = {"string", "string", "string",
                                         "int",    "STRING", "float"};
    static const char* const kValues[] = {
        "SchemeA", "SchemeB", "schemea", "d:\\p1", "d:\\p2", "x:y", "1", "0x1"};
    const std::string value_name =
        random_() % 6 == 0 ? "[v" + std::to_string(random_() % 2) + "]" : "";
    Line(std::string("(") + kTypes[random_() % 6] + ")" + Name(pool) +
         value_name + "=" + kValues[random_() % 8]);
  }

  // Now and then a line the reader ignores or a blob.
  void Junk() {
    switch (random_() % 16) {
      case 0:
        Line("[ " + Name(kSettings) + ":");
        Line("1F");
        Line("] " + Name(kSettings) + ";");
        break;
      case 1:
        Line("{" + Name(kHosts) + ":");
        break;
      case 2:
        Line("(string)=x");
        break;
      case 3:
        Line("; note");
        break;
    }
  }

  void Line(const std::string& line) {
    text_ += std::string(4 * depth_, ' ') + line + "\n";
  }

  std::minstd_rand random_;
  std::string text_;
  int depth_ = 0;
  const std::string long_name_ = std::string(255, 'h');
  const std::vector<std::string> names_[kPools] = {
      {"10.0.0.5", "10.0.0.6"},
      {schema::kVirtualHosts},
      {"a.com", "b.com|8080", "*.com", "*", "x*y.com", "h\xe9.com", long_name_,
       long_name_ + "tail", schema::kFolderExceptions},
      {schema::kMain, schema::kCommonPaths},
      {schema::kUserDir, schema::kMapScheme, schema::kFolderExceptions,
       schema::kSchemeA, schema::kSchemeB, schema::kWebRoot, schema::kLog,
       schema::kSchemeBRootDir, schema::kDisable},
      {"docs", "cgi-bin", "sub", "a.com"},
  };
};

}  // namespace

std::string RandomConfiguration(uint32_t seed) {
  return ConfigurationWriter(seed).Write();
}

}  // namespace mervane
