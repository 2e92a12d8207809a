// Saves of the administration program while the built filter library maps
// requests without a pause: on Windows a file that the filter holds open
// refuses to be replaced, so this is where a save can fail.

#include <stdlib.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "filter/filter_host.h"
#include "filter/test_environment.h"
#include "gtest/gtest.h"

namespace mervane {
namespace {

namespace fs = std::filesystem;

// A path of the build (native to the machine that built it) as cmd.exe
// reads it: Wine shows the build machine's root as drive Z:.
std::string CommandPath(std::string path) {
  std::replace(path.begin(), path.end(), '/', '\\');
  return path.rfind('\\', 0) == 0 ? "Z:" + path : path;
}

// Regression: each request opened the file for its time without sharing
// deletion, so saves under load failed unless requests paused.
TEST(FilterSavesTest, SavesUnderLoadAllSucceed) {
  constexpr int kSaves = 200;
  TestEnvironment environment;
  environment.WriteFile("c:\\mervane.cfg",
                        "{ 10.0.0.5:\n{ VIRTUAL_HOSTS:\n{ alpha:\n"
                        "(string)UserDir=alpha\n} alpha;\n} VIRTUAL_HOSTS;\n"
                        "{ MAIN:\n(string)WebRoot=d:\\www\n} MAIN;\n} "
                        "10.0.0.5;\n");
  environment.SetConfigurationPath("c:\\mervane.cfg");
  const FilterHost host(MERVANE_FILTER_LIBRARY);
  ASSERT_TRUE(host.IsLoaded());

  std::atomic<bool> done{false};
  std::atomic<int> unmapped{0};
  auto map_until_done = [&] {
    while (!done) {
      const FilterHost::Result result = host.MapUrl(
          {"10.0.0.5", "80", "alpha", "/a.htm", WwwrootPath("/a.htm")});
      if (result.status != SF_STATUS_REQ_HANDLED_NOTIFICATION) ++unmapped;
    }
  };
  std::thread first(map_until_done);
  std::thread second(map_until_done);

  const fs::path body = environment.Native("c:\\body.txt");
  const fs::path answer = environment.Native("c:\\answer.htm");
  _putenv("REQUEST_METHOD=POST");
  _putenv("QUERY_STRING=Action=DoAddIP");
  _putenv("SCRIPT_NAME=/cgi-bin/mervanecfg.exe");
  int failed = 0;
  for (int save = 0; save < kSaves && failed < 3; ++save) {
    const std::string form = "newIP=10.1." + std::to_string(save / 250) + "." +
                             std::to_string(save % 250 + 1);
    std::ofstream(body, std::ios::binary) << form;
    _putenv(("CONTENT_LENGTH=" + std::to_string(form.size())).c_str());
    std::system((CommandPath(MERVANECFG_PATH) + " <" + body.string() + " >" +
                 answer.string())
                    .c_str());
    std::ifstream page(answer, std::ios::binary);
    const std::string text(std::istreambuf_iterator<char>(page), {});
    if (text.find("IP successfuly added!") == std::string::npos) {
      ADD_FAILURE() << "save " << save << ": " << text;
      ++failed;
    }
  }
  done = true;
  first.join();
  second.join();
  EXPECT_EQ(0, unmapped);
}

}  // namespace
}  // namespace mervane
