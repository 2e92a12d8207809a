#include "cgi/cgi_app.h"

#include <cstdarg>
#include <cstdlib>

namespace mervane {

CgiApp* Instance = nullptr;

CgiApp::CgiApp() : content_type_("text/html"), action_field_("Action") {
  Instance = this;
}

CgiApp::~CgiApp() {
  if (Instance == this) Instance = nullptr;
}

void CgiApp::Dispatch(const CgiVariableSet& post, const CgiVariableSet& query,
                      const CgiVariableSet& cookies) {
  HandleAction(query.GetVariable(action_field_.c_str()).FirstValue(), post,
               query, cookies);
}

void CgiApp::HandleAction(const char*, const CgiVariableSet&,
                          const CgiVariableSet&, const CgiVariableSet&) {}

void CgiApp::BeginPage(const CgiVariableSet&, const CgiVariableSet&,
                       const CgiVariableSet&) {}

void CgiApp::EndPage(const CgiVariableSet&, const CgiVariableSet&,
                     const CgiVariableSet&) {}

int CgiApp::RunApplication(int /*argc*/, char** /*argv*/, char** /*envp*/,
                           const CgiVariableSet& post,
                           const CgiVariableSet& query,
                           const CgiVariableSet& cookies) {
  WriteHeader();
  BeginPage(post, query, cookies);
  Dispatch(post, query, cookies);
  EndPage(post, query, cookies);
  std::fflush(out_);
  return 0;
}

int CgiApp::RefuseRequest(const char* text) {
  WriteHeader();
  std::fprintf(out_, "<html><body>%s</body></html>", text);
  std::fflush(out_);
  return 0;
}

void CgiApp::WriteHeader() {
  // No other site may show these pages in a frame of its own, where the
  // browser's cached credentials would act for clicks it lures: the first
  // header for older browsers, the second for current ones. Line feeds only:
  // the header ends with an empty line.
  std::fprintf(out_,
               "X-Frame-Options: DENY\n"
               "Content-Security-Policy: frame-ancestors 'none'\n"
               "Content-Type: %s\n\n",
               content_type_.c_str());
}

void CgiApp::PrintActionUrl(const char* action) {
  // The web server always sets SCRIPT_NAME; without it the URL is relative.
  const char* script = std::getenv("SCRIPT_NAME");
  std::fprintf(out_, "%s?%s=%s", HtmlEscaped(script).c_str(),
               action_field_.c_str(), UrlEncoded(action).c_str());
}

void CgiApp::PrintActionUrlWith(const char* action, const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  std::va_list measuring;
  va_copy(measuring, args);
  int length = std::vsnprintf(nullptr, 0, format, measuring);
  va_end(measuring);
  // Sized to the text, however long the formatted values are.
  std::string parameters(length > 0 ? length : 0, '\0');
  std::vsnprintf(parameters.data(), parameters.size() + 1, format, args);
  va_end(args);
  PrintActionUrl(action);
  std::fprintf(out_, "&%s", parameters.c_str());
}

void CgiApp::PrintErrorPage(int code) {
  const ErrorRow* row = ErrorTable;
  while (row->message != nullptr && row->code != code) ++row;
  // A code the table lacks ends on the closing row: an empty message.
  std::fprintf(out_,
               "<html><body>An error #%d occured!<br>Error message: "
               "%s</body></html>",
               code, row->message ? row->message : "");
}

}  // namespace mervane
