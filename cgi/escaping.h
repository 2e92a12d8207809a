// Escaping of the values a page inserts: for HTML text and attributes, and
// for the query part of a URL.

#ifndef MERVANE_CGI_ESCAPING_H_
#define MERVANE_CGI_ESCAPING_H_

#include <string>

namespace mervane {

// text with &, <, >, " and ' replaced by their HTML entities; "" for null.
std::string HtmlEscaped(const char* text);
// text percent-encoded for a URL's query: letters, digits and -._~ stay,
// every other byte becomes %XX (upper-case hex); "" for null. An ordinary
// IP address or action name comes out unchanged.
std::string UrlEncoded(const char* text);

}  // namespace mervane

#endif  // MERVANE_CGI_ESCAPING_H_
