#include "config/config_text_file.h"

#include <cinttypes>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/platform.h"

namespace mervane {

namespace {

constexpr size_t kFlushSize = 1 << 16;
constexpr size_t kReadChunk = 1 << 16;
constexpr char kBlanks[] = " \t\r\n";

// The type names of value lines, by event.
struct TypeName {
  const char* name;
  int event;
};
constexpr TypeName kTypeNames[] = {
    {"int", EventInt},       {"float", EventFloat}, {"string", EventString},
    {"double", EventDouble}, {"int64", EventInt64},
};

// Copies at most capacity - 1 characters of text[0, length) into buffer.
void CopyCut(char* buffer, size_t capacity, const char* text, size_t length) {
  if (length > capacity - 1) length = capacity - 1;
  std::memcpy(buffer, text, length);
  buffer[length] = '\0';
}

int EventOfTypeName(const char* type, size_t length) {
  char name[8];
  if (length >= sizeof(name)) return EventNothing;
  CopyCut(name, sizeof(name), type, length);
  for (const TypeName& known : kTypeNames) {
    if (CompareNamesIgnoringCase(name, known.name) == 0) return known.event;
  }
  return EventNothing;
}

// The name after a begin or end mark ("{", "}", "[", "]"): at least one
// blank, then the text up to one of `stops`. Returns its length, 0 when
// the blank or the name is missing.
size_t MarkedName(const char* mark, const char* stops, const char** name) {
  size_t blanks = std::strspn(mark + 1, kBlanks);
  if (blanks == 0) return 0;
  *name = mark + 1 + blanks;
  return std::strcspn(*name, stops);
}

const char* SkipSpacesAndTabs(const char* line) {
  return line + std::strspn(line, " \t");
}

bool SameName(const char* a, const char* b) {
  return a != nullptr && b != nullptr && CompareNamesIgnoringCase(a, b) == 0;
}

}  // namespace

ConfigTextFile::ConfigTextFile(const char* path, int mode)
    : ConfigStream(path), writing_((mode & kWrite) != 0) {
  if (path == nullptr) return;
  if (writing_) {
    file_ = platform::OpenFile(path, "wt");
    open_ = file_ != nullptr;
    return;
  }
  // Closed however the read ends: a file left open by a failed allocation
  // would refuse every later save on Windows.
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(
      platform::OpenFile(path, "rt"), std::fclose);
  if (file == nullptr) {
    read_failure_ = platform::LastErrorText();
    return;
  }
  // Read straight into the buffer: the filter reloads on a request thread,
  // whose stack is small.
  size_t size = 0;
  for (;;) {
    text_.resize(size + kReadChunk);
    size_t got = std::fread(&text_[size], 1, kReadChunk, file.get());
    size += got;
    if (got < kReadChunk) break;
  }
  text_.resize(size);
  input_ = text_;
  // A file that could not be read whole is not loaded at all.
  open_ = std::ferror(file.get()) == 0;
  if (!open_) read_failure_ = platform::LastErrorText();
}

ConfigTextFile::ConfigTextFile(std::string_view text, size_t position,
                               size_t depth)
    : ConfigStream(nullptr),
      open_(true),
      input_(text),
      position_(position),
      sections_(depth) {}

ConfigTextFile::ConfigTextFile(const char* path, std::string* text)
    : ConfigStream(path), text_out_(text), writing_(true), open_(true) {}

ConfigTextFile::~ConfigTextFile() { Close(); }

int ConfigTextFile::Close() {
  if (!open_) return 0;
  open_ = false;
  if (!writing_) {
    input_ = {};
    std::string().swap(text_);
    return 1;
  }
  bool ok = Flush();
  if (file_ != nullptr) {
    if (std::fflush(file_) != 0) ok = false;
    if (std::fclose(file_) != 0) ok = false;
    file_ = nullptr;
  }
  return ok ? 1 : 0;
}

// ---- Writing ----------------------------------------------------------------

void ConfigTextFile::Put(const char* text, size_t length) {
  output_.append(text, length);
  written_ += length;
  if (output_.size() >= kFlushSize) Flush();
}

void ConfigTextFile::PutText(const char* text) {
  if (text != nullptr) Put(text, std::strlen(text));
}

void ConfigTextFile::PutIndent() {
  for (size_t depth = 0; depth < sections_.size(); ++depth) Put("    ", 4);
}

bool ConfigTextFile::Flush() {
  if (text_out_ != nullptr) {
    text_out_->append(output_);
  } else if (!output_.empty() && std::fwrite(output_.data(), 1, output_.size(),
                                             file_) != output_.size()) {
    write_failed_ = true;
  }
  output_.clear();
  return !write_failed_;
}

int ConfigTextFile::BeginSection(const char* name) {
  if (!CanWrite()) return 0;
  PutIndent();
  Put("{ ", 2);
  PutText(name);
  Put(":\n", 2);
  sections_.push_back({name != nullptr ? name : "", written_});
  return 1;
}

int ConfigTextFile::EndSection() {
  if (sections_.empty() || !CanWrite()) return 0;
  std::string name = std::move(sections_.back().name);
  sections_.pop_back();
  PutIndent();
  Put("} ", 2);
  Put(name.data(), name.size());
  Put(";\n", 2);
  return 1;
}

int ConfigTextFile::BeginBlob(const char* array_name, const char* value_name) {
  if (blob_open_ || array_name == nullptr || !CanWrite()) return 0;
  PutIndent();
  Put("[ ", 2);
  PutText(array_name);
  if (value_name != nullptr) {
    Put("[", 1);
    PutText(value_name);
    Put("]", 1);
  }
  Put(":\n", 2);
  blob_open_ = true;
  open_blob_ = array_name;
  return 1;
}

int ConfigTextFile::EndBlob() {
  if (!blob_open_ || !CanWrite()) return 0;
  PutIndent();
  Put("] ", 2);
  Put(open_blob_.data(), open_blob_.size());
  Put(";\n", 2);
  ForgetBlob();
  return 1;
}

int ConfigTextFile::WriteBlobBytes(const void* data, uint32_t size) {
  if (data == nullptr || !CanWrite()) return 0;
  static constexpr char kHexDigits[] = "0123456789ABCDEF";
  const unsigned char* bytes = static_cast<const unsigned char*>(data);
  for (uint32_t i = 0; i < size; ++i) {
    // "%X": upper case, no leading zero.
    char line[3];
    size_t length = 0;
    if (bytes[i] >= 0x10) line[length++] = kHexDigits[bytes[i] >> 4];
    line[length++] = kHexDigits[bytes[i] & 0xF];
    line[length++] = '\n';
    PutIndent();
    Put(line, length);
  }
  return 1;
}

int ConfigTextFile::WriteValueLine(const char* type_name,
                                   const char* array_name,
                                   const char* value_name, const char* text) {
  if (array_name == nullptr || !CanWrite()) return 0;
  PutIndent();
  Put("(", 1);
  PutText(type_name);
  Put(")", 1);
  PutText(array_name);
  if (value_name != nullptr) {
    Put("[", 1);
    PutText(value_name);
    Put("]", 1);
  }
  Put("=", 1);
  PutText(text);
  Put("\n", 1);
  return 1;
}

template <typename Number>
int ConfigTextFile::WriteNumberLine(const char* type_name, const char* format,
                                    Number value, const char* array_name,
                                    const char* value_name) {
  char text[64];  // "%f" of the largest float takes 47 characters
  std::snprintf(text, sizeof(text), format, value);
  return WriteValueLine(type_name, array_name, value_name, text);
}

int ConfigTextFile::WriteInt64(const char* array_name, int64_t value,
                               const char* value_name) {
  return WriteNumberLine("int64", "%" PRId64, value, array_name, value_name);
}

int ConfigTextFile::WriteDouble(const char* array_name, double value,
                                const char* value_name) {
  return WriteNumberLine("double", "%G", value, array_name, value_name);
}

int ConfigTextFile::WriteStringValue(const char* array_name, const char* text,
                                     const char* value_name) {
  return WriteValueLine("string", array_name, value_name, text);
}

int ConfigTextFile::WriteFloat(const char* array_name, float value,
                               const char* value_name) {
  return WriteNumberLine("float", "%f", static_cast<double>(value), array_name,
                         value_name);
}

int ConfigTextFile::WriteInt(const char* array_name, int32_t value,
                             const char* value_name) {
  return WriteNumberLine("int", "%d", value, array_name, value_name);
}

// ---- Reading ----------------------------------------------------------------

int ConfigTextFile::NextLine() {
  if (position_ >= input_.size() || too_deep_) {
    line_[0] = '\0';
    return 0;
  }
  const char* start = input_.data() + position_;
  size_t length = input_.size() - position_;
  if (length > kLineSize - 2) length = kLineSize - 2;
  const void* line_feed = std::memchr(start, '\n', length);
  if (line_feed != nullptr) {
    length = static_cast<const char*>(line_feed) - start + 1;
  }
  std::memcpy(line_, start, length);
  line_[length] = '\0';
  position_ += length;
  return 1;
}

int ConfigTextFile::ParseLine() {
  if (line_[0] == '\0' || line_[0] == '\n' || line_[0] == '\r') {
    return EventNothing;
  }
  const char* line = SkipSpacesAndTabs(line_);
  switch (line[0]) {
    case '(':
      return ParseValueLine(line);
    case ';':
      return EventNothing;
    case '[':
      return ParseBlobBegin(line);
    case ']':
      return ParseBlobEnd(line);
    case '{':
      return ParseSectionBegin(line);
    case '}':
      return ParseSectionEnd(line);
    default:
      return EventOther;
  }
}

// "(type)name=text": all three parts non-empty, a known type, and a text
// that holds a number of that type. Nothing is stored unless the line is
// accepted.
int ConfigTextFile::ParseValueLine(const char* line) {
  const char* type = line + 1;
  size_t type_length = std::strcspn(type, ")");
  if (type_length == 0 || type[type_length] != ')') return EventNothing;
  const char* name = type + type_length + 1;
  size_t name_length = std::strcspn(name, "=");
  if (name_length == 0 || name[name_length] != '=') return EventNothing;
  const char* text = name + name_length + 1;
  size_t text_length = std::strcspn(text, "\n\r");
  if (text_length == 0) return EventNothing;
  int event = EventOfTypeName(type, type_length);
  if (event == EventNothing) return EventNothing;

  char value[kValueSize];
  CopyCut(value, sizeof(value), text, text_length);
  char* end = value;
  int64_t integer = 0;
  double real = 0;
  float single = 0;
  switch (event) {
    case EventInt:
    case EventInt64:
      // "%i": decimal, hexadecimal after 0x, octal after a leading 0.
      integer = std::strtoll(value, &end, 0);
      break;
    case EventFloat:
      single = std::strtof(value, &end);
      break;
    case EventDouble:
      real = std::strtod(value, &end);
      break;
    default:
      end = value + 1;  // a string is taken whole
      break;
  }
  if (end == value) return EventNothing;

  CopyCut(name_, sizeof(name_), name, name_length);
  std::memcpy(value_text_, value, sizeof(value_text_));
  switch (event) {
    case EventInt:
      int_value_ = static_cast<int32_t>(static_cast<uint32_t>(integer));
      break;
    case EventInt64:
      int64_value_ = integer;
      break;
    case EventFloat:
      float_value_ = single;
      break;
    case EventDouble:
      double_value_ = real;
      break;
  }
  return event;
}

int ConfigTextFile::ParseSectionBegin(const char* line) {
  const char* name;
  size_t length = MarkedName(line, ":\r\n", &name);
  if (blob_open_ || length == 0) return EventNothing;
  if (sections_.size() == kDeepestNesting) {
    too_deep_ = true;
    line_[0] = '\0';
    return EventNothing;
  }
  CopyCut(name_, sizeof(name_), name, length);
  sections_.push_back({name_, position_});
  return EventSectionBegin;
}

int ConfigTextFile::ParseSectionEnd(const char* line) {
  const char* name;
  size_t length = MarkedName(line, ";\r\n", &name);
  if (blob_open_ || sections_.empty() || length == 0) return EventNothing;
  char end_name[kNameSize];
  CopyCut(end_name, sizeof(end_name), name, length);
  if (!SameName(end_name, sections_.back().name.c_str())) return EventNothing;
  sections_.pop_back();
  return EventSectionEnd;
}

int ConfigTextFile::ParseBlobBegin(const char* line) {
  const char* name;
  size_t length = MarkedName(line, ":\r\n", &name);
  if (blob_open_ || length == 0) return EventNothing;
  CopyCut(name_, sizeof(name_), name, length);
  blob_open_ = true;
  open_blob_ = name_;
  return EventBlobBegin;
}

int ConfigTextFile::ParseBlobEnd(const char* line) {
  if (!EndsOpenBlob(line)) return EventNothing;
  ForgetBlob();
  return EventBlobEnd;
}

// The writer closes a named blob "[ array[value]:" with "] array;", so the
// end line may carry the whole name part or only its array name.
bool ConfigTextFile::EndsOpenBlob(const char* line) const {
  line = SkipSpacesAndTabs(line);
  const char* name;
  size_t length;
  if (!blob_open_ || line[0] != ']' ||
      (length = MarkedName(line, ";\r\n", &name)) == 0) {
    return false;
  }
  char end_name[kNameSize];
  CopyCut(end_name, sizeof(end_name), name, length);
  if (SameName(end_name, open_blob_.c_str())) return true;
  size_t bracket = open_blob_.find('[');
  return bracket != std::string::npos && bracket > 0 &&
         SameName(end_name, open_blob_.substr(0, bracket).c_str());
}

void ConfigTextFile::ForgetBlob() {
  blob_open_ = false;
  open_blob_.clear();
}

const char* ConfigTextFile::ParsedName(const char** value_name) {
  if (value_name == nullptr) return name_;
  *value_name = nullptr;
  if (name_[0] == '[') return name_;
  char* bracket = std::strchr(name_, '[');
  if (bracket == nullptr) return name_;
  *bracket = '\0';
  char* value = bracket + 1;
  char* close = std::strchr(value, ']');
  if (close != nullptr) *close = '\0';
  if (value[0] != '\0') *value_name = value;
  return name_;
}

int ConfigTextFile::CountBlobLines() {
  if (!blob_open_) return 0;
  size_t start = position_;
  int count = 0;
  while (NextLine() && !EndsOpenBlob(line_)) ++count;
  position_ = start;
  return count;
}

int ConfigTextFile::ReadBlobHere(void* buffer, uint32_t size) {
  return ReadBlob(buffer, size);
}

int ConfigTextFile::ReadBlob(void* buffer, uint32_t size) {
  if (!blob_open_) return 0;
  unsigned char* bytes = static_cast<unsigned char*>(buffer);
  int count = 0;
  while (NextLine() && ParseLine() != EventBlobEnd) {
    // "%X": a hexadecimal number after blanks; its low byte is stored.
    char* end;
    unsigned long number = std::strtoul(line_, &end, 16);
    if (end == line_) continue;
    if (bytes != nullptr && static_cast<uint32_t>(count) < size) {
      bytes[count] = static_cast<unsigned char>(number & 0xFF);
    }
    ++count;
  }
  return count;
}

// ---- Random access ----------------------------------------------------------

int ConfigTextFile::Rewind() {
  sections_.clear();
  ForgetBlob();
  position_ = 0;
  return 1;
}

int ConfigTextFile::RestartSection() {
  if (sections_.empty()) {
    Rewind();
    return 0;
  }
  position_ = sections_.back().offset;
  ForgetBlob();
  return 1;
}

int ConfigTextFile::SkipSection() {
  size_t depth = sections_.size();
  ForgetBlob();
  while (NextLine()) {
    if (ParseLine() == EventSectionEnd && sections_.size() < depth) return 1;
  }
  Rewind();
  return 0;
}

template <typename Matches>
int ConfigTextFile::ScanCurrentSection(Matches matches) {
  ForgetBlob();
  size_t depth = sections_.size();
  OpenSection current =
      sections_.empty() ? OpenSection{"", 0} : sections_.back();
  while (NextLine()) {
    int event = ParseLine();
    if (event == EventSectionEnd && sections_.size() < depth) {
      sections_.push_back(current);
      position_ = current.offset;
      return 0;
    }
    if (matches(event, depth)) return 1;
  }
  Rewind();
  return 0;
}

int ConfigTextFile::FindSection(const char* name) {
  return ScanCurrentSection([this, name](int event, size_t depth) {
    return event == EventSectionBegin &&
           (name == nullptr || (sections_.size() == depth + 1 &&
                                SameName(sections_.back().name.c_str(), name)));
  });
}

int ConfigTextFile::FindNextSection() { return FindSection(nullptr); }

int ConfigTextFile::FindValue(const char* name, int event, int) {
  return ScanCurrentSection([this, name, event](int met, size_t depth) {
    bool is_value =
        met == EventBlobBegin || (met >= EventInt && met <= EventInt64);
    return is_value && (event == 0 || met == event) &&
           sections_.size() == depth && SameName(name_, name);
  });
}

int ConfigTextFile::FindBlobBegin(const char* name) {
  return FindValue(name, EventBlobBegin, 0);
}

int ConfigTextFile::FindBlob(const char* name, void* buffer, uint32_t size) {
  if (buffer == nullptr || !FindBlobBegin(name)) return 0;
  return ReadBlobHere(buffer, size);
}

template <typename Value, typename Out>
int ConfigTextFile::FindParsed(const char* name, int event, const Value& parsed,
                               Out* out) {
  if (!FindValue(name, event, 0)) return 0;
  if (out != nullptr) *out = parsed;
  return 1;
}

int ConfigTextFile::FindInt64(const char* name, int64_t* out) {
  return FindParsed(name, EventInt64, int64_value_, out);
}

int ConfigTextFile::FindDouble(const char* name, double* out) {
  return FindParsed(name, EventDouble, double_value_, out);
}

int ConfigTextFile::FindString(const char* name, std::string* out) {
  return FindParsed(name, EventString, value_text_, out);
}

int ConfigTextFile::FindFloat(const char* name, float* out) {
  return FindParsed(name, EventFloat, float_value_, out);
}

int ConfigTextFile::FindInt(const char* name, int32_t* out) {
  return FindParsed(name, EventInt, int_value_, out);
}

int ConfigTextFile::FindPath(const char* path) {
  Rewind();
  if (path == nullptr) return 1;
  while (*path != '\0') {
    size_t length = std::strcspn(path, "/");
    if (length > 0) {
      char name[kNameSize];
      CopyCut(name, sizeof(name), path, length);
      if (!FindSection(name)) return 0;
    }
    path += length;
    if (*path == '/') ++path;
  }
  return 1;
}

}  // namespace mervane
