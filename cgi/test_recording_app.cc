#include "cgi/test_recording_app.h"

#include <cstdio>
#include <cstdlib>
#include <deque>

namespace mervane {

const ActionRow ActionTable[] = {
    {"DoConfig", 100}, {"IPList", 201}, {"AddIP", 203},
    {"ListIPs", 204},  {nullptr, 0},
};

const ErrorRow ErrorTable[] = {
    {"No registry configuration available! Run Registry configuration from "
     "the menu.",
     1},
    {"The specifiled CFG file can't be loaded.", 2},
    {nullptr, 0},
};

RecordingApp::RecordingApp() { set_out(std::tmpfile()); }

RecordingApp::~RecordingApp() { std::fclose(out()); }

void RecordingApp::HandleAction(int id, const CgiVariableSet&,
                                const CgiVariableSet&, const CgiVariableSet&) {
  handled_id_ = id;
  std::fprintf(out(), "[action %d]", id);
}

void RecordingApp::BeginPage(const CgiVariableSet&, const CgiVariableSet&,
                             const CgiVariableSet&) {
  std::fputs("[begin]", out());
}

void RecordingApp::EndPage(const CgiVariableSet&, const CgiVariableSet&,
                           const CgiVariableSet&) {
  std::fputs("[end]", out());
}

void SetEnvironment(const char* name, const std::string& value) {
  // putenv keeps the text itself, so it must outlive the variable.
  static auto* texts = new std::deque<std::string>;
  texts->push_back(std::string(name) + "=" + value);
  putenv(texts->back().data());
}

std::string RecordingApp::Output() {
  std::fflush(out());
  long size = std::ftell(out());
  std::string text(size > 0 ? size : 0, '\0');
  std::rewind(out());
  text.resize(std::fread(text.data(), 1, text.size(), out()));
  return text;
}

}  // namespace mervane
