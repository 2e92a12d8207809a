// MappingLog: the lines that one request writes to the mapping log of its
// real site IP. They are gathered, each with its time stamp, and appended to
// the file in one write when the request's log ends, so that a request costs
// one open, append and close of the file and the lines of requests logged
// at the same moment never interleave.
//
// Thread safety: a MappingLog belongs to the thread of its request; any
// number of them may append to one file at once, without a lock.

#ifndef MERVANE_FILTER_MAPPING_LOG_H_
#define MERVANE_FILTER_MAPPING_LOG_H_

#include <string>

namespace mervane {

class MappingLog {
 public:
  // Gathers no lines until SetFile names a file.
  MappingLog() = default;
  // Appends the gathered lines to the file. Silent on every failure.
  ~MappingLog();
  MappingLog(const MappingLog&) = delete;
  MappingLog& operator=(const MappingLog&) = delete;

  // Gathers the lines from now on for the log file at path (copied); none
  // when path is null.
  void SetFile(const char* path);
  // Adds one line: the time stamp, ":  " and the printf-style message, cut
  // at 1023 characters, its control characters written as %XX. Nothing
  // while no file is named.
  void Write(const char* format, ...);
  // Takes the lines gathered so far, which are then not written; *path
  // receives the file they were for.
  std::string TakeLines(std::string* path);

 private:
  std::string path_;
  std::string stamp_;  // read from the clock for the first line
  std::string block_;
};

}  // namespace mervane

#endif  // MERVANE_FILTER_MAPPING_LOG_H_
