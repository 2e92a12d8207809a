#include "cgi/escaping.h"

namespace mervane {

namespace {

bool IsUnreservedInUrl(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
         (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' || c == '~';
}

}  // namespace

std::string HtmlEscaped(const char* text) {
  std::string escaped;
  for (const char* p = text ? text : ""; *p != '\0'; ++p) {
    switch (*p) {
      case '&':
        escaped += "&amp;";
        break;
      case '<':
        escaped += "&lt;";
        break;
      case '>':
        escaped += "&gt;";
        break;
      case '"':
        escaped += "&quot;";
        break;
      case '\'':
        escaped += "&#39;";
        break;
      default:
        escaped += *p;
    }
  }
  return escaped;
}

std::string UrlEncoded(const char* text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string encoded;
  for (const char* p = text ? text : ""; *p != '\0'; ++p) {
    if (IsUnreservedInUrl(*p)) {
      encoded += *p;
    } else {
      auto byte = static_cast<unsigned char>(*p);
      encoded += '%';
      encoded += kHex[byte >> 4];
      encoded += kHex[byte & 0x0F];
    }
  }
  return encoded;
}

}  // namespace mervane
