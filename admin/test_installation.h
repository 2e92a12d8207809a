// TestInstallation: a test folder holding the registry store and drive
// D: with d:\mervane.cfg, in which the real mervanecfg runs as the web server
// runs it. ExpectRequests runs a table of requests, each in a fresh one.

#ifndef MERVANE_ADMIN_TEST_INSTALLATION_H_
#define MERVANE_ADMIN_TEST_INSTALLATION_H_

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "config/test_util.h"
#include "gtest/gtest.h"

namespace mervane {

inline constexpr char kConfigPath[] = "d:\\mervane.cfg";

inline std::string Golden(const std::string& name) {
  return ReadWholeFile(std::string(MERVANE_TESTDATA) + "/" + name);
}

// text with the first `from` replaced by `to`; fails when there is none.
inline std::string Replaced(std::string text, const std::string& from,
                            const std::string& to) {
  size_t at = text.find(from);
  EXPECT_NE(std::string::npos, at) << "no " << from << " in\n" << text;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

class TestInstallation {
 public:
  // An installation without a registry key.
  TestInstallation() { std::filesystem::create_directories(Drive()); }
  // One whose key names d:\mervane.cfg, holding config.
  explicit TestInstallation(const std::string& config) : TestInstallation() {
    SetRegistryPath(kConfigPath);
    WriteConfig(config);
  }

  // The registry value "Configuration File".
  void SetRegistryPath(const std::string& path) {
    std::filesystem::create_directories(RegistryValuePath().parent_path());
    WriteWholeFile(RegistryValuePath(), path + '\0');
  }
  std::string RegistryValue() const {
    return ReadWholeFile(RegistryValuePath());
  }
  // The folder that stands for drive D:, and d:\mervane.cfg in it.
  std::string Drive() const { return root_.File("drives/d"); }
  std::string ReadConfig() const {
    return ReadWholeFile(Drive() + "/mervane.cfg");
  }
  void WriteConfig(const std::string& text) const {
    WriteWholeFile(Drive() + "/mervane.cfg", text);
  }

  // Runs mervanecfg for a POST and returns the page frame's content cell, or
  // a complaint with the whole response. env overrides the POST's variables.
  std::string Content(const std::string& query, const std::string& body = "",
                      std::vector<std::string> env = {}) {
    env.insert(env.end(), {"CONTENT_LENGTH=" + std::to_string(body.size()),
                           "QUERY_STRING=" + query, "REQUEST_METHOD=POST",
                           "SCRIPT_NAME=/cgi-bin/mervanecfg.exe",
                           "MERVANE_REGISTRY=" + root_.File("registry"),
                           "MERVANE_DRIVES=" + root_.File("drives")});
    std::string response = Run(env, body);
    std::string head =
        "X-Frame-Options: DENY\nContent-Security-Policy: frame-ancestors "
        "'none'\nContent-Type: text/html\n\n" +
        Golden("frame_begin.html");
    std::string tail = Golden("frame_end.html");
    if (response.size() < head.size() + tail.size() ||
        response.compare(0, head.size(), head) != 0 ||
        response.compare(response.size() - tail.size(), tail.size(), tail)) {
      return "<not the header and frame around content>\n" + response;
    }
    return response.substr(head.size(),
                           response.size() - head.size() - tail.size());
  }

 private:
  std::filesystem::path RegistryValuePath() const {
    return root_.File(
        "registry/HKEY_LOCAL_MACHINE/Software/Halvost soft/Mervane/"
        "Configuration File");
  }

  std::string Run(std::vector<std::string> env, const std::string& input) {
    // Named per process: tests run requests from several processes at once.
    const std::string io = root_.File("io" + std::to_string(getpid()));
    WriteWholeFile(io + ".in", input);
    std::vector<char*> envp;
    for (std::string& entry : env) envp.push_back(entry.data());
    envp.push_back(nullptr);
    char* argv[] = {const_cast<char*>(MERVANECFG_PATH), nullptr};
    pid_t child = fork();
    if (child == 0) {
      dup2(open((io + ".in").c_str(), O_RDONLY), 0);
      dup2(open((io + ".out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
      execve(argv[0], argv, envp.data());
      _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    return ReadWholeFile(io + ".out");
  }

  TestFolder root_;
};

// What a fresh installation holds: testdata/small.cfg (a save drops its first
// line), no key, a key naming a missing file or folder, or any text.
inline constexpr char kSmall[] = "<small>";
inline constexpr char kNoKey[] = "<no key>";
inline constexpr char kNoFile[] = "<no file>";
inline constexpr char kNoFolder[] = "<no folder>";

// One request to a fresh installation of `before`: `answer` names a page
// under testdata (".html") or is the content. The file afterwards is `before`
// (empty for kNoFile) or, when `saved`, small_saved.cfg, with `from` replaced
// by `to`; the registry value is `registry` unless that is empty.
struct Request {
  std::string query, body, answer;
  bool saved = false;
  std::string from = "", to = "";
  std::string before = kSmall;
  std::vector<std::string> env = {};
  std::string registry = "";
};

inline void ExpectRequests(const std::vector<Request>& requests) {
  for (const Request& r : requests) {
    std::string shown = r.query + " with body " + r.body;
    for (const std::string& variable : r.env) shown += " " + variable;
    TestInstallation installation;
    std::string before = r.before == kSmall ? Golden("small.cfg") : r.before;
    if (r.before == kNoKey || r.before == kNoFolder) {
      before = "<none>";
      if (r.before == kNoFolder) installation.SetRegistryPath("d:\\no\\x.cfg");
    } else {
      installation.SetRegistryPath(kConfigPath);
      if (r.before == kNoFile) before = "";  // the request creates it
      if (r.before != kNoFile) installation.WriteConfig(before);
    }
    const bool page = r.answer.find('\n') == std::string::npos &&
                      r.answer.find(".html") != std::string::npos;
    EXPECT_EQ(page ? Golden(r.answer) : r.answer,
              installation.Content(r.query, r.body, r.env))
        << shown;
    std::string after = r.saved ? Golden("small_saved.cfg") : before;
    if (!r.from.empty()) after = Replaced(after, r.from, r.to);
    EXPECT_EQ(after, installation.ReadConfig()) << shown;
    if (!r.registry.empty()) {
      EXPECT_EQ(r.registry, installation.RegistryValue()) << shown;
    }
  }
}

}  // namespace mervane

#endif  // MERVANE_ADMIN_TEST_INSTALLATION_H_
