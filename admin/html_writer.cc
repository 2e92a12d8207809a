#include "admin/html_writer.h"

#include <string>

#include "cgi/cgi_app.h"

namespace mervane {

HtmlWriter& HtmlWriter::Text(const char* text) {
  std::fputs(text, out_);
  return *this;
}

HtmlWriter& HtmlWriter::Line(const char* text) {
  std::fputs(text, out_);
  std::fputc('\n', out_);
  return *this;
}

HtmlWriter& HtmlWriter::Value(const char* value) {
  if (value != nullptr) std::fputs(HtmlEscaped(value).c_str(), out_);
  return *this;
}

HtmlWriter& HtmlWriter::Url(const ActionTarget& target) {
  if (target.parameter == nullptr) {
    app_->PrintActionUrl(target.action);
  } else {
    app_->PrintActionUrlWith(target.action, "%s=%s", target.parameter,
                             UrlEncoded(target.value).c_str());
  }
  return *this;
}

HtmlWriter& HtmlWriter::HiddenField(const char* indent, const char* name,
                                    const char* value) {
  return Text(indent)
      .Text("<input type=\"hidden\" name=\"")
      .Text(name)
      .Text("\" value=\"")
      .Value(value)
      .Line("\">");
}

}  // namespace mervane
