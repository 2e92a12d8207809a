// The built filter library, loaded and driven as the server drives it.

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "filter/filter_host.h"
#include "filter/index_file.h"
#include "filter/test_environment.h"
#include "gtest/gtest.h"
#include "platform/isapi.h"

namespace mervane {
namespace {

constexpr char kUnchanged[] = "";

class FilterExportsTest : public ::testing::Test {
 protected:
  // Loaded once, as in a server; it reads the registry as it loads.
  static void SetUpTestSuite() {
    environment_ = std::make_unique<TestEnvironment>();
    // The worked example, and the settings it leaves out.
    std::string text;
    for (const char* file :
         {MERVANE_EXAMPLES_DIR "/mervane.cfg", MERVANE_TESTDATA "/edge.cfg",
          MERVANE_TESTDATA "/lookup.cfg"}) {
      std::ifstream in(file);
      text.append(std::istreambuf_iterator<char>(in), {});
    }
    environment_->WriteFile("c:\\mervane.cfg", text);
    // Every row maps through the compiled index, as servers do.
    std::string problem;
    ASSERT_TRUE(CompileIndex(environment_->Path("c:\\mervane.cfg"), &problem))
        << problem;
    environment_->SetConfigurationPath("c:\\mervane.cfg");
    environment_->WriteFile("d:\\www\\users\\beta\\index.htm", "beta");
    environment_->WriteFile("d:\\www\\users\\beta\\img\\unused", "");
    environment_->WriteFile("c:\\logs\\shared.log", "");
    host_ = std::make_unique<FilterHost>(MERVANE_FILTER_LIBRARY);
  }
  static void TearDownTestSuite() {
    host_.reset();  // unloaded before its folder goes
    environment_.reset();
  }
  void SetUp() override { ASSERT_TRUE(host_->IsLoaded()); }

  struct MappingCase {
    const char* ip;
    const char* port;
    const char* host;
    const char* url;
    const char* expected;  // kUnchanged: passes with the server's own path
    const char* physical_path = nullptr;  // null: below c:\inetpub\wwwroot
    uint32_t buffer_size = 260;           // grown to hold the server's path
  };

  static void ExpectMappings(const std::vector<MappingCase>& cases) {
    for (const MappingCase& c : cases) {
      const std::string physical = environment_->Path(
          c.physical_path != nullptr ? c.physical_path : WwwrootPath(c.url));
      const FilterHost::Result result =
          host_->MapUrl({c.ip, c.port, c.host, c.url, physical, c.buffer_size});
      SCOPED_TRACE(std::string(c.ip) + " " + c.port + " " + c.host + c.url);
      const bool mapped = *c.expected != '\0';
      EXPECT_EQ(mapped ? environment_->Path(c.expected) : physical,
                result.physical_path);
      EXPECT_EQ(mapped ? SF_STATUS_REQ_HANDLED_NOTIFICATION
                       : SF_STATUS_REQ_NEXT_NOTIFICATION,
                result.status);
      EXPECT_EQ(result.physical_path.size() >=
                    std::max<size_t>(c.buffer_size, physical.size() + 1),
                result.path_in_request_memory);
    }
  }

  static inline std::unique_ptr<TestEnvironment> environment_;
  static inline std::unique_ptr<FilterHost> host_;
};

TEST_F(FilterExportsTest, GetFilterVersionAndOtherNotifications) {
  HTTP_FILTER_VERSION version;
  std::memset(&version, 0xAB, sizeof version);
  EXPECT_EQ(TRUE, host_->GetFilterVersion(&version));
  const DWORD url_maps =
      SF_NOTIFY_URL_MAP | SF_NOTIFY_SECURE_PORT | SF_NOTIFY_NONSECURE_PORT;
  EXPECT_EQ(url_maps, version.dwFlags & url_maps) << "on both ports";

  unsigned char record[64];
  std::memset(record, 0x5A, sizeof record);
  const DWORD types[] = {SF_NOTIFY_READ_RAW_DATA, SF_NOTIFY_PREPROC_HEADERS,
                         SF_NOTIFY_LOG, SF_NOTIFY_END_OF_REQUEST, 0};
  for (DWORD type : types) {
    EXPECT_EQ(SF_STATUS_REQ_NEXT_NOTIFICATION, host_->Notify(type, record))
        << type;
  }
  for (unsigned char byte : record) ASSERT_EQ(0x5A, byte);
}

TEST_F(FilterExportsTest, MapsRequestsAndLogsWhyOthersPass) {
  const std::string long_host(250, 'h');
  const std::string long_url = "/" + std::string(2000, 'u');
  const std::string long_path =
      "c:\\inetpub\\wwwroot\\alpha\\" + long_url.substr(1);
  ExpectMappings({
      // Ports and the letter case of hosts.
      {"10.0.1.5", "080", "alpha", "/a.htm", "d:\\www\\alpha\\a.htm"},
      {"10.0.1.5", "8080", "Alpha", "/a.htm", "d:\\www\\alpha8080\\a.htm"},
      {"10.0.0.9", "80", "alpha", "/a.htm", kUnchanged},
      // An exception for the URL of its folder alone, or with a '/'.
      {"10.0.1.5", "80", "alpha", "/docs", "d:\\shared\\docs"},
      {"10.0.1.5", "80", "alpha", "/docs/", "d:\\shared\\docs\\"},
      // The tail keeps the URL's own letters.
      {"10.0.1.5", "80", "alpha", "/DOCS/X.txt", "d:\\shared\\docs\\X.txt"},
      // A folder exception wins over a common path of the same name.
      {"10.0.1.5", "80", "alpha", "/cgi-bin/run.exe",
       "d:\\exceptions\\cgi-bin\\run.exe"},
      // "schemea" finds the SchemeA common paths but maps no scheme.
      {"10.0.1.5", "80", "lower", "/cgi-bin/run.exe",
       "d:\\www\\cgi-bin\\run.exe"},
      {"10.0.1.5", "80", "lower", "/a/b.htm", "d:\\www\\"},
      {"10.0.1.5", "80", "full", "/a/b.htm", "e:\\sites\\full\\a\\b.htm"},
      // A file of the user's root is served from it; a folder is not one.
      {"10.0.0.5", "80", "beta", "/index.htm",
       "d:\\www\\users\\beta\\index.htm"},
      {"10.0.1.5", "80", "beta", "/img", "d:\\www\\img\\beta"},
      // A wildcard must not find some other file of the user's root.
      {"10.0.1.5", "80", "beta", "/index.*", "d:\\www\\index.*\\beta"},
      // Without WebRoot the site root is the base; only Disable 1 disables.
      {"10.0.1.7", "80", "alpha", "/a/b.htm",
       "c:\\inetpub\\wwwroot\\alpha\\a\\b.htm"},
      // Regression: cutting the site root at the first "\docs" gave
      // c:\inetpub\alpha\docs\docs.
      {"10.0.1.7", "80", "alpha", "/docs", "c:\\inetpub\\docs\\alpha\\docs",
       "c:\\inetpub\\docs\\docs"},
      // A path not ending with the URL is cut at its first occurrence.
      {"10.0.1.7", "80", "alpha", "/a/b.htm",
       "c:\\root\\alpha\\a\\b.htm\\default.htm",
       "c:\\root\\a\\b.htm\\default.htm"},
      // Regression: a host name near 255 characters and a port made a
      // HostKey that overran its buffer; cut, it could name another host.
      {"10.0.1.5", "6553", long_host.c_str(), "/a", "d:\\www\\long\\a"},
      {"10.0.1.5", "65535", long_host.c_str(), "/a", kUnchanged},
      // An exception without a text maps to the tail alone; a name of the
      // other kind is no entry; a Disable text is not 1.
      {"10.0.1.9", "80", "first", "/a/b.htm",
       "c:\\inetpub\\wwwroot\\first\\a\\b.htm"},
      {"10.0.1.9", "80", "first", "/number/y.htm", "\\y.htm"},
      {"10.0.1.9", "80", "first", "/img/a.gif",
       "c:\\inetpub\\wwwroot\\first\\img\\a.gif"},
      {"10.0.1.9", "80", "arrayhost", "/a", kUnchanged},
      // The common paths of "schemeb" serve SchemeB.
      {"10.0.1.9", "80", "beta", "/cgi-bin/run.exe", "d:\\b-cgi\\run.exe"},
      // A log that cannot be written does not stop the mapping.
      {"10.0.0.2", "80", "alpha", "/a", "c:\\inetpub\\wwwroot\\alpha\\a"},
      // A buffer just holding the server's path, or else request memory.
      {"10.0.0.5", "80", "alpha", "/docs/a", "d:\\shared\\docs\\a",
       "c:\\inetpub\\wwwroot\\docs\\a", 0},
      {"10.0.0.5", "80", "alpha", "/docs/a", "d:\\shared\\docs\\a",
       "c:\\w\\docs\\a", 0},
      // Logged below: a message cut, and why these pass.
      {"10.0.0.11", "80", "alpha", long_url.c_str(), long_path.c_str()},
      {"10.0.0.1", "80", "gamma", "/a", kUnchanged},
      // Regression: a decoded %0a or %0d in the URL forged log lines.
      {"10.0.0.1", "80", "gamma", "/a\nb\r\x7f", kUnchanged},
      {"10.0.0.4", "80", "alpha", "/a", kUnchanged},
  });
  const std::vector<std::string> log = {
      "Filtering URL for site IP 10.0.0.1 ...",
      "     Full URL: 'gamma/a'",
      "    Can't find virtual host 'gamma' in cfg file! (exiting)",
      "Filtering URL for site IP 10.0.0.1 ...",
      "     Full URL: 'gamma/a%0Ab%0D%7F'",
      "    Can't find virtual host 'gamma' in cfg file! (exiting)",
      "Filtering URL for site IP 10.0.0.4 ...",
      "     Filter for that IP is disabled. (exiting)",
  };
  EXPECT_EQ(log, environment_->LogMessages("c:\\logs\\shared.log"));
  EXPECT_FALSE(std::filesystem::exists(environment_->Native("c:\\missing")));
  // Regression: a message longer than the message buffer overran it.
  const std::vector<std::string> cut = {
      "Filtering URL for site IP 10.0.0.11 ...",
      ("     Full URL: 'alpha" + long_url).substr(0, 1023),
      ("     Mapping to physical path '" + environment_->Path(long_path))
          .substr(0, 1023)};
  EXPECT_EQ(cut, environment_->LogMessages("c:\\logs\\long.log"));
}

TEST_F(FilterExportsTest, FindsIpv6SectionsByAnySpelling) {
  ExpectMappings({
      {"::1", "80", "alpha", "/a.htm", "d:\\www\\loopback\\a.htm"},
      {"0:0:0:0:0:0:0:1", "80", "alpha", "/a.htm", "d:\\www\\loopback\\a.htm"},
      {"::1", "8080", "alpha", "/a.htm", kUnchanged},
      // Longer than the 17 characters an IPv4 text needs.
      {"2001:0DB8:0000:0000:0000:0000:0000:0005", "80", "alpha", "/a.htm",
       "d:\\www\\documentation\\a.htm"},
      {"fe80::1%4", "80", "alpha", "/a.htm", "d:\\www\\zone4\\a.htm"},
      {"fe80::1", "80", "alpha", "/a.htm", kUnchanged},
      {"fe80::1%5", "80", "alpha", "/a.htm", kUnchanged},
      // IPv4-mapped: the IPv4 section; no address: no section (the
      // spellings are the address reader's tests).
      {"::ffff:10.0.1.5", "80", "alpha", "/a.htm", "d:\\www\\alpha\\a.htm"},
      {"::1%", "80", "alpha", "/a.htm", kUnchanged},
  });
  // The address as the server reported it, whatever the spelling.
  const std::vector<std::string> log = {
      "Filtering URL for site IP ::1 ...",
      "     Full URL: 'alpha/a.htm'",
      "     Mapping to physical path '" +
          environment_->Path("d:\\www\\loopback\\a.htm") + "'",
      "Filtering URL for site IP 0:0:0:0:0:0:0:1 ...",
      "     Full URL: 'alpha/a.htm'",
      "     Mapping to physical path '" +
          environment_->Path("d:\\www\\loopback\\a.htm") + "'",
  };
  const std::vector<std::string> lines =
      environment_->LogMessages("c:\\logs\\ipv6.log");
  ASSERT_LE(log.size(), lines.size());
  EXPECT_EQ(
      log, std::vector<std::string>(lines.begin(), lines.begin() + log.size()));
}

TEST_F(FilterExportsTest, ServesWildcardAndDefaultHosts) {
  // A key of the longest length a section name can have, with a label per
  // two characters: no wildcard key outgrows it.
  std::string dotted;
  while (dotted.size() < 250) dotted += ".a";
  // Too long for an exact key on port 8080, not for a wildcard or default
  // one; and a wildcard of as many labels as a name can have.
  const std::string long_name(251, 'h');
  const std::string long_shop = std::string(243, 'h') + ".example.com";
  std::string deep = "x";
  while (deep.size() < 255) deep += ".a";
  ExpectMappings({
      // An exact entry wins, whatever the letter case.
      {"10.0.2.1", "80", "www.example.com", "/a.htm", "d:\\www\\www\\a.htm"},
      {"10.0.2.1", "80", "WWW.Example.COM", "/a.htm", "d:\\www\\www\\a.htm"},
      // The longest suffix first; a name is not its wildcard's suffix.
      {"10.0.2.1", "80", "blog.example.com", "/a.htm",
       "d:\\www\\example\\a.htm"},
      {"10.0.2.1", "80", "a.b.example.com", "/a.htm",
       "d:\\www\\example\\a.htm"},
      {"10.0.2.1", "80", "shop.example.com", "/a.htm",
       "d:\\www\\example\\a.htm"},
      {"10.0.2.1", "80", "a.shop.example.com", "/img/logo.gif",
       "d:\\www\\img\\shops\\logo.gif"},
      {"10.0.2.1", "80", "A.SHOP.example.COM", "/", "d:\\www\\users\\shops"},
      {"10.0.2.1", "80", "example.com", "/a.htm", "d:\\www\\parking\\a.htm"},
      {"10.0.2.1", "80", "other.org", "/a.htm", "d:\\www\\parking\\a.htm"},
      {"10.0.2.1", "80", "", "/a.htm", "d:\\www\\parking\\a.htm"},
      {"10.0.2.1", "80", "example.com.", "/a.htm", "d:\\www\\parking\\a.htm"},
      // Folder exceptions and common paths as for any entry.
      {"10.0.2.1", "80", "blog.example.com", "/docs/x.txt",
       "d:\\shared\\example-docs\\x.txt"},
      {"10.0.2.1", "80", "other.org", "/cgi-bin/run.exe",
       "d:\\www\\cgi-bin\\run.exe"},
      // Each port has entries of its own.
      {"10.0.2.1", "8080", "www.example.com", "/a.htm",
       "d:\\www\\example8080\\a.htm"},
      {"10.0.2.1", "8080", "other.org", "/a.htm",
       "d:\\www\\parking8080\\a.htm"},
      {"10.0.2.1", "8081", "blog.example.com", "/a.htm", kUnchanged},
      {"10.0.2.1", "8080", dotted.c_str(), "/a.htm",
       "d:\\www\\parking8080\\a.htm"},
      // Regression: a name too long for its exact key tried no key at all.
      {"10.0.2.1", "8080", long_name.c_str(), "/a.htm",
       "d:\\www\\parking8080\\a.htm"},
      {"10.0.2.1", "8080", long_shop.c_str(), "/a.htm",
       "d:\\www\\example8080\\a.htm"},
      {"10.0.2.4", "80", deep.c_str(), "/a.htm", "d:\\www\\deep\\a.htm"},
      // A name with a '*' is served as any other name, never by an entry
      // that spells it.
      {"10.0.2.1", "80", "a*.example.com", "/a.htm", "d:\\www\\example\\a.htm"},
      {"10.0.2.3", "80", "a*.example.com", "/a.htm", kUnchanged},
      {"10.0.2.3", "80", "**.x", "/a.htm", kUnchanged},
      {"10.0.2.3", "8080", "**.x", "/a.htm", "d:\\www\\"},
  });
}

// What a mapped request reports to a server that asks: entry, UserDir, the
// folder of the host's "/", and the URL prefix mapped on its own with its
// folder.
TEST_F(FilterExportsTest, ReportsTheEntryAndFoldersThatServed) {
  const struct {
    const char* ip;
    const char* host;
    const char* url;
    const char* site;  // empty: no report
  } cases[] = {
      {"10.0.0.5", "alpha", "/a/b.htm", "alpha|alpha|d:\\www\\alpha||"},
      {"10.0.0.5", "alpha", "/docs/x/y.txt",
       "alpha|alpha|d:\\www\\alpha|/docs|d:\\shared\\docs"},
      {"10.0.0.5", "alpha", "/cgi-bin/run.exe",
       "alpha|alpha|d:\\www\\alpha|/cgi-bin|d:\\www\\cgi-bin"},
      {"10.0.0.5", "beta", "/img/logo.gif",
       "beta|beta|d:\\www\\users\\beta|/img|d:\\www\\img\\beta"},
      {"10.0.0.5", "beta", "/index.htm", "beta|beta|d:\\www\\users\\beta||"},
      {"10.0.2.1", "other.org", "/a.htm", "*|parking|d:\\www\\parking||"},
      {"10.0.1.5", "full", "/a.htm", "full|e:\\sites\\full|e:\\sites\\full||"},
      {"10.0.1.5", "lower", "/a.htm", "lower|lower|d:\\www\\||"},
      {"10.0.0.5", "gamma", "/a.htm", ""},
  };
  for (const auto& c : cases) {
    const FilterHost::Result result = host_->MapUrl(
        {c.ip, "80", c.host, c.url, environment_->Path(WwwrootPath(c.url))});
    EXPECT_EQ(environment_->Relocated(c.site), result.site)
        << c.ip << " " << c.host << c.url;
  }
}

TEST_F(FilterExportsTest, LogsTheWildcardOrDefaultEntryThatServed) {
  for (const auto& [host, port] : {std::pair{"www.example.com", "80"},
                                   {"blog.Example.com", "8080"},
                                   {"other.org", "80"},
                                   {"example.com", "8080"}}) {
    host_->MapUrl({"10.0.2.2", port, host, "/a", WwwrootPath("/a")});
  }
  const auto mapped = [](const char* path) {
    return "     Mapping to physical path '" + environment_->Path(path) + "'";
  };
  const std::string first = "Filtering URL for site IP 10.0.2.2 ...";
  const std::vector<std::string> log = {
      first,
      "     Full URL: 'www.example.com/a'",
      mapped("d:\\www\\www\\a"),
      first,
      "     Full URL: 'blog.Example.com|8080/a'",
      "     Using virtual host entry '*.example.com|8080'",
      mapped("d:\\www\\example8080\\a"),
      first,
      "     Full URL: 'other.org/a'",
      "     Using virtual host entry '*'",
      mapped("d:\\www\\parking\\a"),
      first,
      "     Full URL: 'example.com|8080/a'",
      "    Can't find virtual host 'example.com|8080' in cfg file! (exiting)",
  };
  EXPECT_EQ(log, environment_->LogMessages("c:\\logs\\lookup.log"));
}

// Regression: lines of requests logged at once interleaved.
TEST_F(FilterExportsTest, ThreadsLogWholeRequestBlocks) {
  constexpr int kRequests = 200;  // per thread
  auto run = [](const char* host) {
    for (int i = 0; i < kRequests; ++i) {
      host_->MapUrl({"10.0.0.10", "80", host, "/a", WwwrootPath("/a")});
    }
  };
  std::thread first(run, "alpha");
  std::thread second(run, "gamma");
  first.join();
  second.join();

  const std::string first_line = "Filtering URL for site IP 10.0.0.10 ...";
  const std::vector<std::string> alpha = {
      first_line, "     Full URL: 'alpha/a'",
      "     Mapping to physical path 'c:\\inetpub\\wwwroot\\alpha\\a'"};
  const std::vector<std::string> gamma = {
      first_line, "     Full URL: 'gamma/a'",
      "    Can't find virtual host 'gamma' in cfg file! (exiting)"};
  const std::vector<std::string> lines =
      environment_->LogMessages("c:\\logs\\threads.log");
  ASSERT_EQ(6u * kRequests, lines.size());
  int alpha_blocks = 0;
  for (auto line = lines.begin(); line != lines.end(); line += 3) {
    const std::vector<std::string> block(line, line + 3);
    ASSERT_TRUE(block == alpha || block == gamma) << *line << line[1];
    alpha_blocks += block == alpha;
  }
  EXPECT_EQ(kRequests, alpha_blocks);
}

}  // namespace
}  // namespace mervane
