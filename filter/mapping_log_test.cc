#include <map>
#include <string>
#include <thread>
#include <vector>

#include "filter/mapping_filter.h"
#include "filter/test_environment.h"
#include "gtest/gtest.h"

namespace mervane {
namespace {

// One IP per log setting: a shared log, a log in a missing folder, an empty
// log text, and a disabled IP with a log.
std::string LogConfiguration() {
  const std::string alpha = HostText("alpha", "alpha", "SchemeA");
  return IpText("10.0.0.1", alpha, "(string)Log=c:\\logs\\shared.log\n") +
         IpText("10.0.0.2", alpha, "(string)Log=c:\\missing\\folder.log\n") +
         IpText("10.0.0.3", alpha, "(string)Log=\n") +
         IpText("10.0.0.4", "",
                "(int)Disable=1\n(string)Log=c:\\logs\\shared.log\n");
}

constexpr char kSharedLog[] = "c:\\logs\\shared.log";

class MappingLogTest : public ::testing::Test {
 protected:
  MappingLogTest() {
    environment_.WriteFile("c:\\log.cfg", LogConfiguration());
    environment_.SetConfigurationPath("c:\\log.cfg");
    environment_.MakeFolder("c:\\logs");
    filter_ = std::make_unique<MappingFilter>();
  }

  DWORD Map(const char* ip, const char* host, const std::string& url) {
    FakeServer server(ip, "80", host);
    return MapRequest(filter_.get(), &server, url, WwwrootPath(url)).status;
  }

  TestEnvironment environment_;
  std::unique_ptr<MappingFilter> filter_;
};

TEST_F(MappingLogTest, UnmappedRequestsLogWhyAndMissingLogsDoNotMatter) {
  EXPECT_EQ(SF_STATUS_REQ_HANDLED_NOTIFICATION, Map("10.0.0.2", "alpha", "/a"));
  EXPECT_EQ(SF_STATUS_REQ_HANDLED_NOTIFICATION, Map("10.0.0.3", "alpha", "/a"));
  EXPECT_FALSE(environment_.Exists("c:\\missing"));
  Map("10.0.0.1", "gamma", "/a");
  Map("10.0.0.4", "alpha", "/a");
  const std::vector<std::string> expected = {
      "Filtering URL for site IP 10.0.0.1 ...",
      "     Full URL: 'gamma/a'",
      "    Can't find virtual host 'gamma' in cfg file! (exiting)",
      "Filtering URL for site IP 10.0.0.4 ...",
      "     Filter for that IP is disabled. (exiting)",
  };
  EXPECT_EQ(expected, environment_.LogMessages(kSharedLog));
}

// Regression: a message longer than the message buffer overran it.
TEST_F(MappingLogTest, LongMessagesAreCut) {
  const std::string url = "/" + std::string(2000, 'u');
  Map("10.0.0.1", "alpha", url);
  const std::vector<std::string> messages =
      environment_.LogMessages(kSharedLog);
  ASSERT_EQ(3u, messages.size());
  EXPECT_EQ(1023u, messages[1].size());
  EXPECT_EQ(0u, messages[1].find("     Full URL: 'alpha/uuu"));
  EXPECT_EQ(1023u, messages[2].size());
}

// Regression: lines of requests logged at once interleaved.
TEST_F(MappingLogTest, ThreadsWriteWholeRequestBlocks) {
  constexpr int kRequests = 200;  // per thread
  auto run = [this](const char* host) {
    for (int i = 0; i < kRequests; ++i) Map("10.0.0.1", host, "/a");
  };
  std::thread first(run, "alpha");
  std::thread second(run, "gamma");
  first.join();
  second.join();

  // Each request's second line names its host and decides its third.
  const std::map<std::string, std::string> last_lines = {
      {"     Full URL: 'alpha/a'",
       "     Mapping to physical path 'c:\\inetpub\\wwwroot\\alpha\\a'"},
      {"     Full URL: 'gamma/a'",
       "    Can't find virtual host 'gamma' in cfg file! (exiting)"},
  };
  const std::vector<std::string> lines = environment_.LogMessages(kSharedLog);
  ASSERT_EQ(6u * kRequests, lines.size());
  std::map<std::string, int> blocks;
  for (size_t i = 0; i < lines.size(); i += 3) {
    ASSERT_EQ("Filtering URL for site IP 10.0.0.1 ...", lines[i]) << i;
    ASSERT_EQ(1u, last_lines.count(lines[i + 1])) << lines[i + 1];
    ASSERT_EQ(last_lines.at(lines[i + 1]), lines[i + 2]) << i;
    ++blocks[lines[i + 1]];
  }
  EXPECT_EQ(kRequests, blocks["     Full URL: 'alpha/a'"]);
}

}  // namespace
}  // namespace mervane
