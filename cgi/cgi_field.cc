#include "cgi/cgi_field.h"

#include <cstring>

namespace mervane {

namespace {

// The value of a hexadecimal digit, or -1 for any other character.
int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The byte of the one or two hex digits that open `digits` (at most `size`
// characters long), or kUndecodableByte when it opens with none.
char DecodeEscape(const char* digits, std::size_t size) {
  int high = size > 0 ? HexDigitValue(digits[0]) : -1;
  if (high < 0) return kUndecodableByte;
  int low = size > 1 ? HexDigitValue(digits[1]) : -1;
  return static_cast<char>(low < 0 ? high : high * 16 + low);
}

}  // namespace

int SplitField(const std::string& field, std::string* name,
               std::string* value) {
  name->clear();
  value->clear();
  const char* text = field.c_str();
  if (text[0] == '=') return 0;
  std::size_t name_length = std::strcspn(text, "=");
  *name = UrlDecode(std::string(text, name_length));
  if (text[name_length] == '=') {
    const char* raw_value = text + name_length + 1;
    *value =
        UrlDecode(std::string(raw_value, std::strcspn(raw_value, "\n\r\t")));
  }
  return 1;
}

std::string UrlDecode(const std::string& text) {
  std::string decoded;
  decoded.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '+') {
      decoded += ' ';
    } else if (text[i] == '%') {
      std::size_t remaining = text.size() - i - 1;
      decoded += DecodeEscape(text.data() + i + 1, remaining);
      i += remaining < 2 ? remaining : 2;
    } else {
      decoded += text[i];
    }
  }
  return decoded;
}

void TrimLeft(std::string* text) {
  text->erase(0, text->find_first_not_of(" \t\n\r"));
}

}  // namespace mervane
