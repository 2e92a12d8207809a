// The exports of the built filter library, loaded as the server loads it.

#include <cstring>
#include <memory>
#include <string>

#include "filter/filter_host.h"
#include "filter/test_environment.h"
#include "filter/test_mapping_cases.h"
#include "gtest/gtest.h"
#include "platform/isapi.h"

namespace mervane {
namespace {

class FilterExportsTest : public ::testing::Test {
 protected:
  // The library reads the registry when loaded, so the example is in place
  // first; it stays loaded for all tests, as in a server.
  static void SetUpTestSuite() {
    environment_ = new TestEnvironment;
    environment_->InstallExample();
    host_ = new FilterHost(MERVANE_FILTER_LIBRARY);
  }
  static void TearDownTestSuite() {
    delete host_;
    delete environment_;
  }

  static TestEnvironment* environment_;
  static FilterHost* host_;
};

TestEnvironment* FilterExportsTest::environment_ = nullptr;
FilterHost* FilterExportsTest::host_ = nullptr;

// Maps through the library's HttpFilterProc, as the server does.
MapFunction ThroughLibrary(const FilterHost* host) {
  return [host](const MappingCase& c, const std::string& physical) {
    const FilterHost::Result result =
        host->MapUrl({c.ip, c.port, c.host, c.url, physical});
    return Mapping{result.status, result.physical_path};
  };
}

TEST_F(FilterExportsTest, GetFilterVersion) {
  ASSERT_TRUE(host_->IsLoaded());
  HTTP_FILTER_VERSION version;
  std::memset(&version, 0xAB, sizeof version);
  EXPECT_EQ(TRUE, host_->GetFilterVersion(&version));
  EXPECT_EQ(0x00040000u, version.dwFilterVersion);
  EXPECT_EQ(0x41003u, version.dwFlags);
  EXPECT_STREQ("Mervane Filter", version.lpszFilterDesc);
}

TEST_F(FilterExportsTest, OtherNotificationsTouchNothing) {
  ASSERT_TRUE(host_->IsLoaded());
  unsigned char record[64];
  std::memset(record, 0x5A, sizeof record);
  const DWORD types[] = {SF_NOTIFY_READ_RAW_DATA, SF_NOTIFY_PREPROC_HEADERS,
                         SF_NOTIFY_LOG, SF_NOTIFY_END_OF_REQUEST, 0};
  for (DWORD type : types) {
    EXPECT_EQ(0x8000002u, host_->Notify(type, record)) << type;
  }
  for (unsigned char byte : record) ASSERT_EQ(0x5A, byte);
}

TEST_F(FilterExportsTest, MapsTheWorkedExample) {
  ASSERT_TRUE(host_->IsLoaded());
  ExpectMappings(
      *environment_,
      {
          {"10.0.0.5", "80", "alpha", "/a/b.htm", "d:\\www\\alpha\\a\\b.htm"},
          {"10.0.0.5", "80", "alpha", "/", "d:\\www\\alpha\\"},
          {"10.0.0.5", "80", "alpha", "/docs/x/y.txt",
           "d:\\shared\\docs\\x\\y.txt"},
          {"10.0.0.5", "80", "alpha", "/cgi-bin/run.exe",
           "d:\\www\\cgi-bin\\run.exe"},
          {"10.0.0.5", "80", "beta", "/img/logo.gif",
           "d:\\www\\img\\beta\\logo.gif"},
          {"10.0.0.5", "80", "beta", "/index.htm",
           "d:\\www\\users\\beta\\index.htm"},
          {"10.0.0.5", "80", "beta", "/", "d:\\www\\users\\beta"},
          {"10.0.0.5", "80", "beta", "/cgi-bin/run.exe",
           "d:\\www\\cgi-bin\\beta\\run.exe"},
          {"10.0.0.5", "8080", "alpha", "/a/b.htm", kUnchanged},
          {"10.0.0.5", "80", "gamma", "/a/b.htm", kUnchanged},
      },
      ThroughLibrary(host_));
}

TEST_F(FilterExportsTest, MapsUrlsIntoServerOrRequestMemory) {
  ASSERT_TRUE(host_->IsLoaded());
  // The server's buffer just holds its own path: below c:\inetpub\wwwroot
  // the mapped path fits it, below c:\w it does not.
  for (const char* root : {"c:\\inetpub\\wwwroot", "c:\\w"}) {
    const std::string root_text = root;
    const FilterHost::Result result =
        host_->MapUrl({"10.0.0.5", "80", "alpha", "/docs/a",
                       environment_->Path(root_text + "\\docs\\a"), 0});
    EXPECT_EQ(0x8000003u, result.status) << root;
    EXPECT_EQ(environment_->Path("d:\\shared\\docs\\a"), result.physical_path)
        << root;
    EXPECT_EQ(root_text == "c:\\w", result.path_in_request_memory) << root;
  }
}

}  // namespace
}  // namespace mervane
