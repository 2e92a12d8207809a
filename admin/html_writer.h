// HtmlWriter: writes the pages of the administration program as the lists of
// texts they are made of. Fixed texts go out as they are; every value taken
// from the request or the configuration goes through HtmlEscaped, and every
// value placed into a URL through UrlEncoded, so that no input can change the
// structure of a page. For ordinary input (addresses, host names, paths) both
// leave the text as it is.
//
// Thread safety: one thread, like the program.

#ifndef MERVANE_ADMIN_HTML_WRITER_H_
#define MERVANE_ADMIN_HTML_WRITER_H_

#include <cstdio>

namespace mervane {

class CgiApp;

// The page or action a link or form leads to: the action name and, when
// `parameter` is not null, one further query parameter with its value.
struct ActionTarget {
  const char* action;
  const char* parameter = nullptr;
  const char* value = nullptr;
};

class HtmlWriter {
 public:
  // Writes to `out`, the application's response stream, and writes URLs
  // through `app`.
  HtmlWriter(CgiApp* app, std::FILE* out) : app_(app), out_(out) {}

  // Writes text as it is.
  HtmlWriter& Text(const char* text);
  // Writes text as it is, then a line feed.
  HtmlWriter& Line(const char* text = "");
  // Writes a value escaped for HTML; a null value writes nothing.
  HtmlWriter& Value(const char* value);
  // Writes the URL that runs this program with the target's action, followed
  // by "&", the parameter, "=" and its percent-encoded value.
  HtmlWriter& Url(const ActionTarget& target);
  // Writes indent, then a hidden form field carrying value.
  HtmlWriter& HiddenField(const char* indent, const char* name,
                          const char* value);

 private:
  CgiApp* app_;
  std::FILE* out_;
};

}  // namespace mervane

#endif  // MERVANE_ADMIN_HTML_WRITER_H_
