#include "admin/test_installation.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace mervane {
namespace {

const char kRegistryValue[] =
    "/registry/HKEY_LOCAL_MACHINE/Software/Halvost soft/Mervane/"
    "Configuration File";

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return "<none>";
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// Pointers to the texts, ended by a null, as execve takes them.
std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (std::string& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

}  // namespace

TestInstallation::TestInstallation() {
  char pattern[] = "/tmp/mervanecfg_test.XXXXXX";
  root_ = mkdtemp(pattern);
  std::filesystem::create_directories(Drive());
}

TestInstallation::~TestInstallation() { std::filesystem::remove_all(root_); }

void TestInstallation::SetRegistryPath(const std::string& path) {
  const std::string value = root_ + kRegistryValue;
  std::filesystem::create_directories(value.substr(0, value.rfind('/')));
  WriteFile(value, path + '\0');
}

std::string TestInstallation::RegistryValue() const {
  return ReadFile(root_ + kRegistryValue);
}

std::string TestInstallation::ReadConfig() const {
  return ReadFile(Drive() + "/mervane.cfg");
}

void TestInstallation::WriteConfig(const std::string& text) const {
  WriteFile(Drive() + "/mervane.cfg", text);
}

std::string TestInstallation::Run(const char* program,
                                  std::vector<std::string> args,
                                  std::vector<std::string> env,
                                  const std::string& input) {
  // Named per process: tests run requests from several processes at once.
  const std::string io = root_ + "/io" + std::to_string(getpid());
  WriteFile(io + ".in", input);
  env.push_back("MERVANE_REGISTRY=" + root_ + "/registry");
  env.push_back("MERVANE_DRIVES=" + root_ + "/drives");
  args.insert(args.begin(), program);
  pid_t child = fork();
  if (child == 0) {
    dup2(open((io + ".in").c_str(), O_RDONLY), 0);
    dup2(open((io + ".out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
    execve(program, Pointers(args).data(), Pointers(env).data());
    _exit(127);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << program;
  return ReadFile(io + ".out");
}

std::string TestInstallation::Map(const std::vector<std::string>& request) {
  return Run(MERVANE_MAP_PATH, request, {}, "");
}

std::string TestInstallation::Content(const std::string& query,
                                      const std::string& body,
                                      const std::vector<std::string>& env) {
  std::vector<std::string> variables = env;
  variables.insert(
      variables.end(),
      {"CONTENT_LENGTH=" + std::to_string(body.size()), "QUERY_STRING=" + query,
       "REQUEST_METHOD=POST", "SCRIPT_NAME=/cgi-bin/mervanecfg.exe"});
  std::string response = Run(MERVANECFG_PATH, {}, variables, body);
  std::string head = "Content-Type: text/html\n\n" + Golden("frame_begin.html");
  std::string tail = Golden("frame_end.html");
  if (response.size() < head.size() + tail.size() ||
      response.compare(0, head.size(), head) != 0 ||
      response.compare(response.size() - tail.size(), tail.size(), tail) != 0) {
    return "<not the header and frame around content>\n" + response;
  }
  return response.substr(head.size(),
                         response.size() - head.size() - tail.size());
}

void ExpectRequests(const std::vector<Request>& requests) {
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
    const bool page = r.answer.find(".html") != std::string::npos;
    EXPECT_EQ(page ? Golden(r.answer) : r.answer,
              installation.Content(r.query, r.body, r.env))
        << shown;
    std::string after = r.saved ? Golden("small_saved.cfg") : before;
    if (!r.from.empty()) after = Replaced(after, r.from, r.to);
    EXPECT_EQ(after, installation.ReadConfig()) << shown;
  }
}

std::string Replaced(std::string text, const std::string& from,
                     const std::string& to) {
  size_t at = text.find(from);
  EXPECT_NE(std::string::npos, at) << "no " << from << " in\n" << text;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

std::string Golden(const std::string& name) {
  return ReadFile(std::string(MERVANE_TESTDATA) + "/" + name);
}

}  // namespace mervane
