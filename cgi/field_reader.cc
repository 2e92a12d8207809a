#include "cgi/field_reader.h"

#include <algorithm>
#include <utility>

#include "cgi/cgi_field.h"

namespace mervane {

FieldReader::FieldReader(std::string source, char separator)
    : source_(std::move(source)), separator_(separator) {}

int FieldReader::NextField(std::string* field) {
  if (position_ >= source_.size()) return 0;
  std::size_t end = source_.find(separator_, position_);
  if (end == std::string::npos) end = source_.size();
  field->assign(source_, position_, end - position_);
  position_ = end + 1;
  return 1;
}

std::string ReadBody(std::FILE* in, int length) {
  std::string body;
  // Read in steps rather than sizing the text by the declared length, which
  // the client chooses and the input need not honour.
  char chunk[4096];
  while (static_cast<int>(body.size()) < length) {
    std::size_t wanted =
        std::min(sizeof chunk, static_cast<std::size_t>(length) - body.size());
    std::size_t got = std::fread(chunk, 1, wanted, in);
    body.append(chunk, got);
    if (got < wanted) break;
  }
  return body;
}

void StoreFields(FieldReader* reader, FieldNames names, CgiVariableSet* set) {
  std::string field, name, value;
  while (reader->NextField(&field)) {
    if (!SplitField(field, &name, &value)) continue;
    if (names == FieldNames::kTrimmed) TrimLeft(&name);
    set->Store(name.c_str(), value.c_str());
  }
}

}  // namespace mervane
