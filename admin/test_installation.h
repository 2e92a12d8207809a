// TestInstallation: a throw-away installation for tests: a temporary folder
// holding the registry store and a drive D: with d:\mervane.cfg, in which
// the real mervanecfg and mervane-map run as the web server runs them.

#ifndef MERVANE_ADMIN_TEST_INSTALLATION_H_
#define MERVANE_ADMIN_TEST_INSTALLATION_H_

#include <string>
#include <vector>

#include "gtest/gtest.h"

namespace mervane {

// The configuration file's path as the registry names it.
inline constexpr char kConfigPath[] = "d:\\mervane.cfg";

class TestInstallation {
 public:
  // An installation without a registry key.
  TestInstallation();
  ~TestInstallation();
  TestInstallation(const TestInstallation&) = delete;
  TestInstallation& operator=(const TestInstallation&) = delete;

  // Stores path as the registry value "Configuration File".
  void SetRegistryPath(const std::string& path);
  // The registry value's bytes, or "<none>".
  std::string RegistryValue() const;
  // The folder that stands for drive D:.
  std::string Drive() const { return root_ + "/drives/d"; }
  // d:\mervane.cfg's bytes, or "<none>".
  std::string ReadConfig() const;
  void WriteConfig(const std::string& text) const;

  // Runs mervanecfg for a POST with the query string and body and returns
  // what it wrote into the page frame's content cell (or, when the response
  // is not the frame, a text saying so with the whole response). env comes
  // first, so it overrides the POST's own variables (REQUEST_METHOD=GET).
  std::string Content(const std::string& query, const std::string& body = "",
                      const std::vector<std::string>& env = {});
  // mervane-map's output for one request (IP, port, host, URL, the
  // server's physical path), through the built filter.
  std::string Map(const std::vector<std::string>& request);

 private:
  std::string Run(const char* program, std::vector<std::string> args,
                  std::vector<std::string> env, const std::string& input);

  std::string root_;
};

// The contents of a fresh installation: testdata/small.cfg (two IPs, hosts
// with and without exceptions, both schemes, all general options; its first
// line is a comment that every save drops, so an unsaved file is told from
// one saved unchanged), no registry key, a key naming a missing file or a
// file in a missing folder, or any text as the file.
inline constexpr char kSmall[] = "<small>";
inline constexpr char kNoKey[] = "<no key>";
inline constexpr char kNoFile[] = "<no file>";
inline constexpr char kNoFolder[] = "<no folder>";

// One request to a fresh installation of `before`: `answer` names a page
// under testdata (".html") or is the content itself. The file afterwards is
// `before` (created empty for kNoFile), or when `saved` small_saved.cfg;
// then `from` is replaced by `to` in it. Failures print a diff.
struct Request {
  std::string query;
  std::string body;
  std::string answer;
  bool saved = false;
  std::string from = "";
  std::string to = "";
  std::string before = kSmall;
  std::vector<std::string> env = {};
};
void ExpectRequests(const std::vector<Request>& requests);

// text with the first `from` replaced by `to`; fails when there is none.
std::string Replaced(std::string text, const std::string& from,
                     const std::string& to);
// The bytes of a file under admin/testdata.
std::string Golden(const std::string& name);

}  // namespace mervane

#endif  // MERVANE_ADMIN_TEST_INSTALLATION_H_
