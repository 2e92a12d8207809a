#include "admin/test_installation.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

namespace mervane {
namespace {

namespace fs = std::filesystem;

const char kRegistryKeyFolder[] =
    "/registry/HKEY_LOCAL_MACHINE/Software/Halvost soft/Mervane";

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

}  // namespace

TestInstallation::TestInstallation() {
  char pattern[] = "/tmp/mervanecfg_test.XXXXXX";
  root_ = mkdtemp(pattern);
  fs::create_directories(root_ + "/drives/d");
}

TestInstallation::~TestInstallation() { fs::remove_all(root_); }

void TestInstallation::SetRegistryPath(const std::string& path) {
  fs::create_directories(root_ + kRegistryKeyFolder);
  WriteFile(root_ + kRegistryKeyFolder + "/Configuration File",
            path + std::string(1, '\0'));
}

std::string TestInstallation::RegistryValue() const {
  return ReadFile(root_ + kRegistryKeyFolder + "/Configuration File");
}

std::string TestInstallation::ReadConfig() const {
  return ReadFile(root_ + "/drives/d/mervane.cfg");
}

void TestInstallation::WriteConfig(const std::string& text) const {
  WriteFile(root_ + "/drives/d/mervane.cfg", text);
}

void TestInstallation::InstallSmallConfiguration() {
  SetRegistryPath(kConfigPath);
  WriteConfig(Golden("small.cfg"));
}

std::string TestInstallation::RunProgram(const char* program,
                                         std::vector<std::string> args,
                                         std::vector<std::string> env,
                                         const std::string& input) {
  // Named per process: tests run requests from several processes at once.
  std::string input_path = root_ + "/request" + std::to_string(getpid());
  std::string output_path = root_ + "/response" + std::to_string(getpid());
  WriteFile(input_path, input);
  env.push_back("MERVANE_REGISTRY=" + root_ + "/registry");
  env.push_back("MERVANE_DRIVES=" + root_ + "/drives");
  std::vector<char*> envp;
  for (std::string& entry : env) envp.push_back(entry.data());
  envp.push_back(nullptr);
  args.insert(args.begin(), program);
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);

  pid_t child = fork();
  if (child == 0) {
    int in = open(input_path.c_str(), O_RDONLY);
    int out = open(output_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(in, 0);
    dup2(out, 1);
    execve(program, argv.data(), envp.data());
    _exit(127);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
      << program << " failed";
  return ReadFile(output_path);
}

std::string TestInstallation::Map(const std::vector<std::string>& request) {
  return RunProgram(MERVANE_MAP_PATH, request, {}, "");
}

std::string TestInstallation::Content(const std::string& query,
                                      const std::string& body,
                                      const std::vector<std::string>& env) {
  // The first of two equal names is the one the program sees.
  std::vector<std::string> variables = env;
  variables.insert(
      variables.end(),
      {"CONTENT_LENGTH=" + std::to_string(body.size()), "QUERY_STRING=" + query,
       "REQUEST_METHOD=POST", std::string("SCRIPT_NAME=") + kScriptName});
  std::string response = RunProgram(MERVANECFG_PATH, {}, variables, body);
  std::string head = "Content-Type: text/html\n\n" + Golden("frame_begin.html");
  std::string tail = Golden("frame_end.html");
  if (response.size() < head.size() + tail.size() ||
      response.compare(0, head.size(), head) != 0 ||
      response.compare(response.size() - tail.size(), tail.size(), tail) != 0) {
    return "<the response is not the header and frame around content>\n" +
           response;
  }
  return response.substr(head.size(),
                         response.size() - head.size() - tail.size());
}

void ExpectActionCases(const std::vector<ActionCase>& cases,
                       const std::string& file) {
  std::string original = file.empty() ? Golden("small.cfg") : file;
  for (const ActionCase& action : cases) {
    TestInstallation installation;
    installation.SetRegistryPath(kConfigPath);
    installation.WriteConfig(original);
    std::string request = action.query + " with body " + action.body;
    for (const std::string& variable : action.env) request += " " + variable;
    EXPECT_EQ(action.message,
              installation.Content(action.query, action.body, action.env))
        << request;
    std::string expected = action.saved ? Golden("small_saved.cfg") : original;
    if (!action.from.empty()) {
      expected = Replaced(expected, action.from, action.to);
    }
    EXPECT_TRUE(SameText(expected, installation.ReadConfig())) << request;
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

::testing::AssertionResult SameText(const std::string& expected,
                                    const std::string& actual) {
  if (expected == actual) return ::testing::AssertionSuccess();
  std::string stem = (fs::temp_directory_path() / "mervanecfg_").string() +
                     std::to_string(getpid());
  std::string expected_path = stem + "_expected";
  std::string actual_path = stem + "_actual";
  WriteFile(expected_path, expected);
  WriteFile(actual_path, actual);
  std::string diff;
  std::string command = "diff -u " + expected_path + " " + actual_path;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[512];
    while (size_t n = fread(buffer, 1, sizeof(buffer), pipe))
      diff.append(buffer, n);
    pclose(pipe);
  }
  fs::remove(expected_path);
  fs::remove(actual_path);
  return ::testing::AssertionFailure() << "texts differ:\n" << diff;
}

}  // namespace mervane
