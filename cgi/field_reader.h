// FieldReader: cuts one source of request variables into its raw fields.
// The sources are the POST body ("&"), QUERY_STRING ("&") and HTTP_COOKIE
// (";"); the reader works on a copy of the source text, so tests need no
// process environment.
//
// Thread safety: one reader belongs to one thread.

#ifndef MERVANE_CGI_FIELD_READER_H_
#define MERVANE_CGI_FIELD_READER_H_

#include <cstddef>
#include <cstdio>
#include <string>

#include "cgi/cgi_variable.h"

namespace mervane {

class FieldReader {
 public:
  FieldReader(std::string source, char separator);

  // Stores the next field in *field (separator consumed, not stored) and
  // returns 1, or returns 0 when the source is used up. Two adjacent
  // separators give an empty field; a separator at the very end gives no
  // further field. Fields have no length limit.
  int NextField(std::string* field);

 private:
  const std::string source_;
  const char separator_;
  std::size_t position_ = 0;  // characters taken so far
};

// Reads the POST body: at most `length` characters of `in`, fewer when the
// input ends first (nothing is made up for characters never received).
// A length of 0 or below reads nothing.
std::string ReadBody(std::FILE* in, int length);

// Whether StoreFields removes leading blanks from names: browsers put a blank
// after each ";" of the cookie header.
enum class FieldNames { kAsSent, kTrimmed };

// Splits every field of reader and stores its name and value into set;
// fields that do not split are dropped.
void StoreFields(FieldReader* reader, FieldNames names, CgiVariableSet* set);

}  // namespace mervane

#endif  // MERVANE_CGI_FIELD_READER_H_
