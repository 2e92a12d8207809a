// CgiApp: the frame of a CGI program that serves several pages and form
// actions from one executable. The program has one application object of a
// class derived from CgiApp; RunApplication writes the response header and
// drives it through BeginPage, Dispatch (which hands the action named by the
// query variable "Action" to the application) and EndPage.
//
// Thread safety: one thread, one request per process.

#ifndef MERVANE_CGI_CGI_APP_H_
#define MERVANE_CGI_CGI_APP_H_

#include <cstdio>
#include <string>

#include "cgi/cgi_main.h"
#include "cgi/cgi_variable.h"
#include "cgi/compiler.h"
#include "cgi/escaping.h"

namespace mervane {

// Rows end with a row whose text is null. Supplied by the application.
struct ErrorRow {
  const char* message;
  int code;
};
extern const ErrorRow ErrorTable[];

class CgiApp {
 public:
  CgiApp();
  virtual ~CgiApp();
  CgiApp(const CgiApp&) = delete;
  CgiApp& operator=(const CgiApp&) = delete;

  // Virtual operations, in slot order.
  // Runs HandleAction with the value of the query variable ActionField ("",
  // when the query names none).
  virtual void Dispatch(const CgiVariableSet& post, const CgiVariableSet& query,
                        const CgiVariableSet& cookies);
  // Runs the page or form action of that name; the application tells which
  // names it knows and what any other name runs.
  virtual void HandleAction(const char* action, const CgiVariableSet& post,
                            const CgiVariableSet& query,
                            const CgiVariableSet& cookies);
  virtual void BeginPage(const CgiVariableSet& post,
                         const CgiVariableSet& query,
                         const CgiVariableSet& cookies);
  virtual void EndPage(const CgiVariableSet& post, const CgiVariableSet& query,
                       const CgiVariableSet& cookies);

  // Writes the header and the page; returns 0, the process's exit code.
  int RunApplication(int argc, char** argv, char** envp,
                     const CgiVariableSet& post, const CgiVariableSet& query,
                     const CgiVariableSet& cookies);

  // Writes the header and a page that holds only text, for a request that
  // is not run at all; returns 0, the process's exit code.
  int RefuseRequest(const char* text);

  // Writes the URL that runs this program with the action: the script name
  // (escaped for HTML), "?Action=" and the action (percent-encoded).
  void PrintActionUrl(const char* action);
  // The same URL, then "&" and the printf-formatted text. Values formatted
  // into it must be percent-encoded by the caller (UrlEncoded).
  void PrintActionUrlWith(const char* action, const char* format, ...)
      MERVANE_PRINTF_FORMAT(3, 4);
  // Writes the error text of ErrorTable for code; for a code the table lacks,
  // the same text with an empty message.
  void PrintErrorPage(int code);

 protected:
  // Where the response goes: standard output unless redirected.
  std::FILE* out() const { return out_; }
  void set_out(std::FILE* out) { out_ = out; }

 private:
  // Every response's header: the framing refusals, then the content type.
  void WriteHeader();

  std::string content_type_;  // "text/html"
  std::string action_field_;  // "Action"
  std::FILE* out_ = stdout;
};

// The one application object, set by the CgiApp constructor and cleared by
// its destructor.
extern CgiApp* Instance;

}  // namespace mervane

#endif  // MERVANE_CGI_CGI_APP_H_
