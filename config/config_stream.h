// ConfigStream: the interface between a section and the storage it loads
// from and saves to. ConfigTextFile is the text-file implementation.
//
// The writers emit one line each; the readers classify one line at a time
// (ParseLine) and expose what it held. The random-access operations (Rewind
// onwards) are not used by the system's own loading and saving.
//
// Thread safety: a stream belongs to one thread for its whole life.

#ifndef MERVANE_CONFIG_CONFIG_STREAM_H_
#define MERVANE_CONFIG_CONFIG_STREAM_H_

#include <cstdint>
#include <string>

#include "config/config_node.h"

namespace mervane {

// Events returned by ParseLine. The value events equal the ValueType codes.
enum ParseEvent : int {
  EventNothing = 0,  // empty, invalid or rejected line
  EventSectionBegin = 1,
  EventSectionEnd = 2,
  EventBlobBegin = 3,
  EventBlobEnd = 4,
  EventInt = 6,
  EventFloat = 7,
  EventString = 8,
  EventDouble = 9,
  EventInt64 = 10,
  EventOther = 11,
};

class ConfigStream : public ConfigNode {
 public:
  // The name of a stream is the path of its storage.
  explicit ConfigStream(const char* path);
  ~ConfigStream() override;

  // Virtual operations, in slot order (0 to 3 inherited).
  virtual int IsOpen() const;        // 0 in the base
  virtual int Capabilities() const;  // 0 in the base

  virtual int BeginSection(const char* name) = 0;
  virtual int EndSection() = 0;
  virtual int BeginBlob(const char* array_name, const char* value_name) = 0;
  virtual int EndBlob() = 0;
  virtual int WriteBlobBytes(const void* data, uint32_t size) = 0;
  virtual int WriteInt64(const char* array_name, int64_t value,
                         const char* value_name) = 0;
  virtual int WriteDouble(const char* array_name, double value,
                          const char* value_name) = 0;
  virtual int WriteStringValue(const char* array_name, const char* text,
                               const char* value_name) = 0;
  virtual int WriteFloat(const char* array_name, float value,
                         const char* value_name) = 0;
  virtual int WriteInt(const char* array_name, int32_t value,
                       const char* value_name) = 0;

  // Classifies the current line; returns a ParseEvent.
  virtual int ParseLine() = 0;
  // The name part of the last line that stored one. With value_name given,
  // the name part is first split at its first '[': the array name is
  // returned and *value_name receives the value name, or null when there is
  // none.
  virtual const char* ParsedName(const char** value_name) = 0;
  virtual int32_t IntValue() const = 0;
  virtual float FloatValue() const = 0;
  virtual const char* ValueText() const = 0;
  virtual double DoubleValue() const = 0;
  virtual int64_t Int64Value() const = 0;
  virtual const char* LineBuffer() const = 0;
  // Lines of the open blob up to its end line, position unchanged.
  virtual int CountBlobLines() = 0;
  virtual int ReadBlobHere(void* buffer, uint32_t size) = 0;
  // Reads the open blob's byte lines into buffer (at most size bytes);
  // returns the number of byte lines met.
  virtual int ReadBlob(void* buffer, uint32_t size) = 0;
  // Reads the next line; 0 at the end of the storage.
  virtual int NextLine() = 0;

  // Random access.
  virtual int Rewind() = 0;
  virtual int FindBlob(const char* name, void* buffer, uint32_t size) = 0;
  virtual int FindInt64(const char* name, int64_t* out) = 0;
  virtual int FindDouble(const char* name, double* out) = 0;
  // On success *out receives a copy of the value text.
  virtual int FindString(const char* name, std::string* out) = 0;
  virtual int FindFloat(const char* name, float* out) = 0;
  virtual int FindInt(const char* name, int32_t* out) = 0;
  virtual int FindSection(const char* name) = 0;
  virtual int FindNextSection() = 0;
  virtual int SkipSection() = 0;
  virtual int RestartSection() = 0;
  virtual int FindValue(const char* name, int event, int reserved) = 0;
  virtual int FindBlobBegin(const char* name) = 0;
  virtual int FindPath(const char* path) = 0;
};

}  // namespace mervane

#endif  // MERVANE_CONFIG_CONFIG_STREAM_H_
