// Whether a request may change the configuration. Only a POST may, and only
// one that a page of this program sent: a browser names the page's origin in
// Origin (or, failing that, in Referer) and marks a request that another
// site started with "Sec-Fetch-Site: cross-site". A request that carries
// none of these (a script, curl) is taken as the administrator's own.
//
// An installation that serves this program on an address of its own names
// that address's origin in MERVANE_ADMIN_ORIGIN; a change must then also
// have been sent to that host and port, so that a page served under a
// hosted site's name is never this program's origin.
//
// Thread safety: pure functions, apart from reading the environment.

#ifndef MERVANE_CGI_REQUEST_ORIGIN_H_
#define MERVANE_CGI_REQUEST_ORIGIN_H_

#include <string>

namespace mervane {

// The CGI variables the decision reads; an absent variable is "".
struct RequestSource {
  std::string method;             // REQUEST_METHOD
  std::string https;              // HTTPS: "on" for https
  std::string host;               // HTTP_HOST: host[:port]
  std::string origin;             // HTTP_ORIGIN
  std::string referer;            // HTTP_REFERER
  std::string fetch_site;         // HTTP_SEC_FETCH_SITE
  std::string admin_origin = {};  // MERVANE_ADMIN_ORIGIN: "http://host:port"
};

// The request's variables from the process environment.
RequestSource RequestSourceFromEnvironment();

// True for a POST that is not from another site: Origin, when present, or
// else Referer names the expected origin's scheme, host and port (a default
// port written or not), and Sec-Fetch-Site is not "cross-site". The
// expected origin is admin_origin when set, and Host must then name its host
// and port; otherwise it is the request's own scheme and Host.
bool MayChangeState(const RequestSource& request);

}  // namespace mervane

#endif  // MERVANE_CGI_REQUEST_ORIGIN_H_
