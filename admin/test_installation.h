// TestInstallation: a throw-away installation of mervanecfg for tests: a
// temporary folder holding the registry store, a drive D: and the
// configuration file d:\mervane.cfg, and a way to run the real programs in
// it, as the web server would.

#ifndef MERVANE_ADMIN_TEST_INSTALLATION_H_
#define MERVANE_ADMIN_TEST_INSTALLATION_H_

#include <string>
#include <vector>

#include "gtest/gtest.h"

namespace mervane {

// The script name the server passes; every URL on a page starts with it.
inline constexpr char kScriptName[] = "/cgi-bin/mervanecfg.exe";
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
  // The registry value's bytes, or "<none>" when it does not exist.
  std::string RegistryValue() const;

  // The folder that stands for drive D:, which holds the configuration.
  std::string Drive() const { return root_ + "/drives/d"; }
  // The configuration file's bytes, or "<none>" when it does not exist.
  std::string ReadConfig() const;
  void WriteConfig(const std::string& text) const;

  // Points the registry at d:\mervane.cfg and writes testdata/small.cfg
  // there: two IPs, hosts with and without exceptions, both schemes and all
  // general options. Its first line is a comment that every save drops, so
  // a file that was not saved is told from one saved unchanged.
  void InstallSmallConfiguration();

  // Runs mervanecfg with the query string and the POST body and returns
  // what it wrote into the content cell of the page frame; when the response
  // is not the header and frame around it, a text that says so and holds
  // the whole response. env adds CGI variables (REQUEST_METHOD=GET, say),
  // which take the place of the POST request's own.
  std::string Content(const std::string& query, const std::string& body = "",
                      const std::vector<std::string>& env = {});
  // Runs mervane-map, which loads the built filter as the web server does,
  // for one request (IP, port, host, URL, the server's physical path);
  // returns its output.
  std::string Map(const std::vector<std::string>& request);

 private:
  // Runs program with args and env (plus the installation's registry and
  // drives), input on standard input; returns its standard output.
  std::string RunProgram(const char* program, std::vector<std::string> args,
                         std::vector<std::string> env,
                         const std::string& input);

  std::string root_;
};

// One form action: the request, the message it must answer, and the file
// afterwards: untouched byte for byte, or (for the small configuration) the
// saved small configuration, testdata/small_saved.cfg, with the text `from`
// replaced by `to` (nothing replaced when `from` is empty).
struct ActionCase {
  std::string query;
  std::string body;
  std::string message;
  bool saved;
  std::string from = "";
  std::string to = "";
  std::vector<std::string> env = {};
};

// Runs each case in a fresh installation of file (the small configuration
// when empty) and checks message and file.
void ExpectActionCases(const std::vector<ActionCase>& cases,
                       const std::string& file = "");

// text with the first `from` replaced by `to`; fails the test when text
// does not hold `from`.
std::string Replaced(std::string text, const std::string& from,
                     const std::string& to);

// The bytes of a file under admin/testdata.
std::string Golden(const std::string& name);

// Succeeds when actual equals expected byte for byte; otherwise the failure
// shows the difference as a unified diff.
::testing::AssertionResult SameText(const std::string& expected,
                                    const std::string& actual);

}  // namespace mervane

#endif  // MERVANE_ADMIN_TEST_INSTALLATION_H_
