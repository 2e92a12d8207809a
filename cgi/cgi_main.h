// The entry routine of a CGI program built on CgiApp.

#ifndef MERVANE_CGI_CGI_MAIN_H_
#define MERVANE_CGI_CGI_MAIN_H_

namespace mervane {

// Reads the POST body (at most CONTENT_LENGTH characters of standard input),
// QUERY_STRING and HTTP_COOKIE, in that order, into PostVariables(),
// QueryVariables() and CookieVariables(), then runs Instance's
// RunApplication. A body longer than 1 MiB is not read: the response is
// a page with the refusal and nothing runs. Returns the process's exit code: 0,
// or 1 when the program has no application object.
int CgiMain(int argc, char** argv, char** envp);

}  // namespace mervane

#endif  // MERVANE_CGI_CGI_MAIN_H_
