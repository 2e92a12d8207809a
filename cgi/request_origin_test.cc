#include "cgi/request_origin.h"

#include "gtest/gtest.h"

namespace mervane {
namespace {

TEST(RequestOriginTest, OnlyPostsNotFromAnotherSiteMayChangeState) {
  const char* kHost = "admin.example";
  const struct {
    RequestSource request;  // method, HTTPS, Host, Origin, Referer, Fetch
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
  };
  for (const auto& c : kCases) {
    const RequestSource& r = c.request;
    EXPECT_EQ(c.accepted, MayChangeState(r))
        << r.method << " HTTPS=" << r.https << " Host=" << r.host
        << " Origin=" << r.origin << " Referer=" << r.referer
        << " Sec-Fetch-Site=" << r.fetch_site;
  }
}

}  // namespace
}  // namespace mervane
