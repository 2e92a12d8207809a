#include "cgi/request_origin.h"

#include "gtest/gtest.h"

namespace mervane {
namespace {

TEST(RequestOriginTest, OnlyPostsNotFromAnotherSiteMayChangeState) {
  const char* kHost = "admin.example";
  const char* kAdmin = "http://127.0.0.1:8081";
  const struct {
    // method, HTTPS, Host, Origin, Referer, Fetch, MERVANE_ADMIN_ORIGIN
    RequestSource request;
    bool accepted;
  } kCases[] = {
      {{"POST", "", "", "", "", ""}, true},  // a script or curl names none
      {{"GET", "", "", "", "", ""}, false},
      {{"POST", "", kHost, "http://evil.example", "", ""}, false},
      {{"POST", "", kHost, "", "http://evil.example/admin.exe", ""}, false},
      {{"POST", "", kHost, "http://admin.example:8080", "", ""}, false},
      {{"POST", "", kHost, "https://admin.example", "", ""}, false},
      {{"POST", "", kHost, "null", "", ""}, false},
      {{"POST", "", "", "http://admin.example", "", ""}, false},  // no Host
      {{"POST", "", "", "", "", "cross-site"}, false},
      // Origin decides even when Referer names this site.
      {{"POST", "", kHost, "http://evil.example", "http://admin.example/", ""},
       false},
      {{"POST", "", kHost, "http://ADMIN.example:80", "", ""}, true},
      {{"POST", "on", kHost, "https://admin.example:443", "", ""}, true},
      {{"POST", "on", "admin.example:8443", "",
        "https://admin.example:8443/cgi-bin/x?Action=General", ""},
       true},
      {{"POST", "", kHost, "http://admin.example", "", "same-origin"}, true},
      // An installation's own address: only requests sent to it, from it.
      {{"POST", "", "127.0.0.1:8081", "", "", "", kAdmin}, true},
      {{"POST", "", "127.0.0.1:8081", kAdmin, "", "", kAdmin}, true},
      // A page of a tenant's site that reaches the program under its name.
      {{"POST", "", "alpha.example", "", "", "", kAdmin}, false},
      {{"POST", "", "127.0.0.1:8081", "http://alpha.example", "", "", kAdmin},
       false},
      {{"POST", "", "127.0.0.1:8081", "", "http://127.0.0.1:8080/", "", kAdmin},
       false},
      {{"POST", "", "127.0.0.1", "", "", "", kAdmin}, false},
      {{"POST", "", "ADMIN.example", "", "", "", "http://admin.example:80/"},
       true},
      // A value that names no origin admits no change.
      {{"POST", "", "127.0.0.1:8081", "", "", "", "127.0.0.1:8081"}, false},
  };
  for (const auto& c : kCases) {
    const RequestSource& r = c.request;
    EXPECT_EQ(c.accepted, MayChangeState(r))
        << r.method << " HTTPS=" << r.https << " Host=" << r.host
        << " Origin=" << r.origin << " Referer=" << r.referer
        << " Sec-Fetch-Site=" << r.fetch_site
        << " MERVANE_ADMIN_ORIGIN=" << r.admin_origin;
  }
}

}  // namespace
}  // namespace mervane
