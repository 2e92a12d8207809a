#include "cgi/cgi_main.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>

#include "cgi/cgi_app.h"
#include "cgi/field_reader.h"
#include "platform/platform.h"

namespace mervane {

namespace {

// The longest body read: the forms send a few hundred bytes, and a body is
// held in memory whole.
constexpr int kLongestBody = 1 << 20;
// The most fields a body may hold: the forms send fewer than ten. Each field
// costs a variable of its own, so a body of many tiny fields would take
// memory many times its length.
constexpr long kMostFields = 1000;

// The declared body length: the leading decimal number of CONTENT_LENGTH,
// or 0 when it is missing or does not start with one.
int DeclaredBodyLength() {
  const char* text = std::getenv("CONTENT_LENGTH");
  if (text == nullptr) return 0;
  char* end = nullptr;
  errno = 0;
  long length = std::strtol(text, &end, 10);
  if (end == text) return 0;
  // Out of range counts as "as much as there is"; the body stops at the end
  // of the input anyway.
  if (length > INT_MAX || errno == ERANGE) return length > 0 ? INT_MAX : 0;
  return length > 0 ? static_cast<int>(length) : 0;
}

// A missing variable is an empty source.
std::string EnvironmentText(const char* name) {
  const char* text = std::getenv(name);
  return text ? text : "";
}

}  // namespace

int CgiMain(int argc, char** argv, char** envp) {
  platform::UseBinaryStdio();
  const int body_length = DeclaredBodyLength();
  if (body_length > kLongestBody) {
    // Refused before a byte of it is read.
    if (Instance == nullptr) return 1;
    return Instance->RefuseRequest(
        "The request is larger than 1 MiB. Nothing was changed.");
  }
  std::string body_text = ReadBody(stdin, body_length);
  if (std::count(body_text.begin(), body_text.end(), '&') >= kMostFields) {
    if (Instance == nullptr) return 1;
    return Instance->RefuseRequest(
        "The request holds more than 1,000 fields. Nothing was changed.");
  }
  FieldReader body(std::move(body_text), '&');
  StoreFields(&body, FieldNames::kAsSent, &PostVariables());
  FieldReader query(EnvironmentText("QUERY_STRING"), '&');
  StoreFields(&query, FieldNames::kAsSent, &QueryVariables());
  FieldReader cookies(EnvironmentText("HTTP_COOKIE"), ';');
  StoreFields(&cookies, FieldNames::kTrimmed, &CookieVariables());
  if (Instance == nullptr) return 1;
  return Instance->RunApplication(argc, argv, envp, PostVariables(),
                                  QueryVariables(), CookieVariables());
}

}  // namespace mervane
