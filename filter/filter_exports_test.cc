// The exports of the built filter library, loaded as the server loads it.

#include <cstring>
#include <memory>
#include <string>

#include "filter/test_environment.h"
#include "gtest/gtest.h"
#include "platform/isapi.h"
#include "tools/mervane_map/filter_host.h"

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

FilterHost::Request Request(const char* host, const std::string& url,
                            const std::string& physical_path) {
  FilterHost::Request request;
  request.local_addr = "10.0.0.5";
  request.server_port = "80";
  request.server_name = host;
  request.url = url;
  request.physical_path = physical_path;
  return request;
}

TestEnvironment* FilterExportsTest::environment_ = nullptr;
FilterHost* FilterExportsTest::host_ = nullptr;

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
  for (DWORD type : {SF_NOTIFY_READ_RAW_DATA, SF_NOTIFY_PREPROC_HEADERS,
                     SF_NOTIFY_LOG, SF_NOTIFY_END_OF_REQUEST, DWORD{0}}) {
    EXPECT_EQ(0x8000002u, host_->Notify(type, record)) << type;
  }
  for (unsigned char byte : record) ASSERT_EQ(0x5A, byte);
}

TEST_F(FilterExportsTest, MapsUrls) {
  ASSERT_TRUE(host_->IsLoaded());
  const FilterHost::Result result =
      host_->MapUrl(Request("beta", "/index.htm", WwwrootPath("/index.htm")));
  EXPECT_EQ(0x8000003u, result.status);
  EXPECT_EQ("d:\\www\\users\\beta\\index.htm", result.physical_path);
  EXPECT_FALSE(result.path_in_request_memory);
}

TEST_F(FilterExportsTest, LongPathReachesServerWhole) {
  ASSERT_TRUE(host_->IsLoaded());
  // A site root shorter than the exception's path, in a buffer that just
  // holds the server's own path.
  const std::string name(100, 'd');
  FilterHost::Request request =
      Request("alpha", "/docs/" + name, "c:\\w\\docs\\" + name);
  request.path_buffer_size = 0;
  const FilterHost::Result result = host_->MapUrl(request);
  EXPECT_EQ(0x8000003u, result.status);
  EXPECT_EQ("d:\\shared\\docs\\" + name, result.physical_path);
  EXPECT_TRUE(result.path_in_request_memory);
}

}  // namespace
}  // namespace mervane
