// ConfigTextFile: the configuration file, written and read one line at a
// time. This is the only place that knows the file format:
//
//   { name:                    section begin; its contents follow, one level
//   } name;                    deeper, up to its end line
//   (type)array=text           a value of the array `array`; type is int,
//   (type)array[value]=text    float, string, double or int64
//   [ array:  or  [ array[value]:
//   1F                         blob begin, one "%X" line per byte, and
//   ] array;                   the blob's end line
//
// Every line at depth d starts with d times four spaces, which the reader
// skips along with tabs. Texts are written as they are, without quoting, so
// a string cannot hold a line break and names cannot hold the characters
// that end them (storable_text.h tells which texts survive). The reader
// accepts LF and CR LF line ends, splits lines longer than 1022 characters,
// cuts names at 255 and value texts at 511 characters, and ignores every
// line it does not recognise (format_limits.h). A section begin line deeper
// than kDeepestNesting levels ends the reading: the stream reports no
// further line and Failed() tells why.
//
// Reading takes the whole file into memory when the stream opens; the
// offsets of open sections are positions in that buffer. Writing buffers
// its output, or keeps all of it in a text; Close() reports whether every
// write, the flush and the close succeeded.
//
// Thread safety: a stream belongs to one thread for its whole life.

#ifndef MERVANE_CONFIG_CONFIG_TEXT_FILE_H_
#define MERVANE_CONFIG_CONFIG_TEXT_FILE_H_

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "config/config_stream.h"
#include "config/format_limits.h"

namespace mervane {

class ConfigTextFile : public ConfigStream {
 public:
  // Modes of the path constructor: bit 0 set writes ("wt": created, or
  // truncated to empty), clear reads ("rt").
  static constexpr int kRead = 0;
  static constexpr int kWrite = 1;

  // Opens the file at once; IsOpen() tells whether it did.
  ConfigTextFile(const char* path, int mode);
  // Writes into *text (appended, line feeds as they are) instead of a
  // file; `path` names the file the text is meant for.
  ConfigTextFile(const char* path, std::string* text);
  // Reads text, which the stream does not copy and which must outlive it,
  // from `position` on, with `depth` unnamed sections open: so a stream can
  // read again, at the depth it had then, from a line another stream of
  // the same text read before (Position(), Depth()).
  ConfigTextFile(std::string_view text, size_t position, size_t depth);
  ~ConfigTextFile() override;
  ConfigTextFile(const ConfigTextFile&) = delete;
  ConfigTextFile& operator=(const ConfigTextFile&) = delete;

  // Ends the stream. For a writing stream: writes out what is buffered,
  // flushes and closes the file, and returns 1 only when all of that and
  // every earlier write succeeded. For a reading stream: frees the text it
  // holds and returns 1. Returns 0 when the stream is not open.
  int Close();

  int IsOpen() const override { return open_ ? 1 : 0; }
  // Why a reading stream is not open: the system's text for the open or
  // the read that failed, taken as it failed. Empty otherwise.
  const std::string& ReadFailure() const { return read_failure_; }
  // True when reading stopped at a section nested too deep.
  bool Failed() const { return too_deep_; }
  // The text being read, where its next line starts, and how many sections
  // are open.
  std::string_view Text() const { return input_; }
  size_t Position() const { return position_; }
  size_t Depth() const { return sections_.size(); }
  int Capabilities() const override { return 15; }

  int BeginSection(const char* name) override;
  int EndSection() override;
  int BeginBlob(const char* array_name, const char* value_name) override;
  int EndBlob() override;
  int WriteBlobBytes(const void* data, uint32_t size) override;
  int WriteInt64(const char* array_name, int64_t value,
                 const char* value_name) override;
  int WriteDouble(const char* array_name, double value,
                  const char* value_name) override;
  int WriteStringValue(const char* array_name, const char* text,
                       const char* value_name) override;
  int WriteFloat(const char* array_name, float value,
                 const char* value_name) override;
  int WriteInt(const char* array_name, int32_t value,
               const char* value_name) override;

  int ParseLine() override;
  const char* ParsedName(const char** value_name) override;
  int32_t IntValue() const override { return int_value_; }
  float FloatValue() const override { return float_value_; }
  const char* ValueText() const override { return value_text_; }
  double DoubleValue() const override { return double_value_; }
  int64_t Int64Value() const override { return int64_value_; }
  const char* LineBuffer() const override { return line_; }
  int CountBlobLines() override;
  int ReadBlobHere(void* buffer, uint32_t size) override;
  int ReadBlob(void* buffer, uint32_t size) override;
  int NextLine() override;

  int Rewind() override;
  int FindBlob(const char* name, void* buffer, uint32_t size) override;
  int FindInt64(const char* name, int64_t* out) override;
  int FindDouble(const char* name, double* out) override;
  int FindString(const char* name, std::string* out) override;
  int FindFloat(const char* name, float* out) override;
  int FindInt(const char* name, int32_t* out) override;
  int FindSection(const char* name) override;
  int FindNextSection() override;
  int SkipSection() override;
  int RestartSection() override;
  int FindValue(const char* name, int event, int reserved) override;
  int FindBlobBegin(const char* name) override;
  int FindPath(const char* path) override;

 private:
  // A line, its line feed and the terminator; a name or value text and the
  // terminator.
  static constexpr size_t kLineSize = kLongestLine + 2;
  static constexpr size_t kNameSize = kLongestName + 1;
  static constexpr size_t kValueSize = kLongestValueText + 1;

  // A section whose begin line was read or written and whose end line was
  // not yet; offset is the position just after the begin line.
  struct OpenSection {
    std::string name;
    size_t offset;
  };

  // Writing.
  bool CanWrite() const { return open_ && writing_; }
  void Put(const char* text, size_t length);
  void PutText(const char* text);
  void PutIndent();
  bool Flush();
  int WriteValueLine(const char* type_name, const char* array_name,
                     const char* value_name, const char* text);
  template <typename Number>
  int WriteNumberLine(const char* type_name, const char* format, Number value,
                      const char* array_name, const char* value_name);

  // Reading.
  int ParseValueLine(const char* line);
  int ParseSectionBegin(const char* line);
  int ParseSectionEnd(const char* line);
  int ParseBlobBegin(const char* line);
  int ParseBlobEnd(const char* line);
  // True when `line` (blanks skipped) is the end line of the open blob.
  bool EndsOpenBlob(const char* line) const;
  void ForgetBlob();
  // The scan behind FindSection and FindValue: reads lines until one
  // matches (1), the current section ends (0, back at its start) or the
  // file ends (0, rewound).
  template <typename Matches>
  int ScanCurrentSection(Matches matches);
  // FindValue for a value line of that event; on success *out (when given)
  // receives the parsed value.
  template <typename Value, typename Out>
  int FindParsed(const char* name, int event, const Value& parsed, Out* out);

  std::FILE* file_ = nullptr;
  std::string* text_out_ = nullptr;  // written to instead of file_
  bool writing_ = false;
  bool open_ = false;
  bool write_failed_ = false;
  bool too_deep_ = false;
  std::string read_failure_;
  std::string output_;  // written but not yet handed to file_
  size_t written_ = 0;  // bytes written so far

  std::string text_;        // the whole file, when reading one
  std::string_view input_;  // what is read: text_, or a text not owned
  size_t position_ = 0;

  std::vector<OpenSection> sections_;
  bool blob_open_ = false;
  std::string open_blob_;  // array name written, or name part read

  char line_[kLineSize] = {};
  char name_[kNameSize] = {};
  char value_text_[kValueSize] = {};
  int32_t int_value_ = 0;
  float float_value_ = 0;
  double double_value_ = 0;
  int64_t int64_value_ = 0;
};

}  // namespace mervane

#endif  // MERVANE_CONFIG_CONFIG_TEXT_FILE_H_
