#include "cgi/request_origin.h"

#include <cstdlib>

namespace mervane {

namespace {

std::string Variable(const char* name) {
  const char* text = std::getenv(name);
  return text ? text : "";
}

std::string Lowered(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

// "scheme://host[:port]" in lower case, without the scheme's default port.
std::string Canonical(const std::string& scheme, std::string authority) {
  std::string lowered_scheme = Lowered(scheme);
  authority = Lowered(authority);
  const std::string default_port = lowered_scheme == "https" ? ":443" : ":80";
  if (authority.size() > default_port.size() &&
      authority.compare(authority.size() - default_port.size(),
                        default_port.size(), default_port) == 0) {
    authority.resize(authority.size() - default_port.size());
  }
  return lowered_scheme + "://" + authority;
}

// The origin a URL (or an Origin header) names; "" when it names none.
std::string OriginOf(const std::string& url) {
  const size_t separator = url.find("://");
  if (separator == std::string::npos || separator == 0) return "";
  const size_t start = separator + 3;
  const size_t end = url.find_first_of("/?#", start);
  return Canonical(
      url.substr(0, separator),
      url.substr(start,
                 end == std::string::npos ? std::string::npos : end - start));
}

// The origin changes must come from: the installation's, or else the one
// the request was sent to. "" when there is none (no Host, or an
// installation's origin that names none, which then admits no change).
std::string ExpectedOrigin(const RequestSource& request) {
  if (!request.admin_origin.empty()) return OriginOf(request.admin_origin);
  if (request.host.empty()) return "";
  return Canonical(Lowered(request.https) == "on" ? "https" : "http",
                   request.host);
}

// Whether Host names the host and port of `origin`.
bool SentTo(const RequestSource& request, const std::string& origin) {
  const size_t separator = origin.find("://");
  return !request.host.empty() && separator != std::string::npos &&
         Canonical(origin.substr(0, separator), request.host) == origin;
}

}  // namespace

RequestSource RequestSourceFromEnvironment() {
  return {Variable("REQUEST_METHOD"),      Variable("HTTPS"),
          Variable("HTTP_HOST"),           Variable("HTTP_ORIGIN"),
          Variable("HTTP_REFERER"),        Variable("HTTP_SEC_FETCH_SITE"),
          Variable("MERVANE_ADMIN_ORIGIN")};
}

bool MayChangeState(const RequestSource& request) {
  if (request.method != "POST") return false;
  if (Lowered(request.fetch_site) == "cross-site") return false;
  const std::string expected = ExpectedOrigin(request);
  if (!request.admin_origin.empty() && !SentTo(request, expected)) {
    return false;
  }
  const std::string& named =
      request.origin.empty() ? request.referer : request.origin;
  if (named.empty()) return true;
  return !expected.empty() && OriginOf(named) == expected;
}

}  // namespace mervane
