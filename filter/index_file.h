// IndexFile: the compiled index of a configuration file, a snapshot's image
// (snapshot_image.h) that lies beside the file, named as the file with
// ".index" appended. The text stays the source of truth and what people
// edit; the index spares every server process the parse of it.
//
// Writers: every save of the administration program and mervane-map
// --compile, under the configuration's lock, through the durable writer.
// A save puts the index of the new text in place before the text itself,
// so that at every moment the index on disk either names the text on disk
// or names none and is never used.
//
// Thread safety: the functions share nothing; the files are the callers'
// to keep apart (the configuration's lock).

#ifndef MERVANE_FILTER_INDEX_FILE_H_
#define MERVANE_FILTER_INDEX_FILE_H_

#include <memory>
#include <string>

#include "filter/snapshot.h"
#include "platform/platform.h"

namespace mervane {

std::string IndexPathOf(const std::string& text_path);

// The steps (platform::ReplaceFileDurably) that make a save of the text at
// text_path write its index: the fresh text is compiled and its index put
// in place before the text is. A text that cannot be compiled, which the
// filter could not load either, gets no index: the one on disk names
// another text.
platform::ReplaceSteps IndexWritingSteps(const std::string& text_path);

// Compiles the text at text_path, as it lies, into its index, as a save
// does. False, with the reason in *problem, when the text cannot be loaded
// or the index written.
bool CompileIndex(const std::string& text_path, std::string* problem);

// What LoadIndex found.
struct IndexLoad {
  std::shared_ptr<const Snapshot> snapshot;  // null when none was usable
  // True when the index is missing or names another text: one that belongs
  // to the text may still come.
  bool may_come = false;
  std::string why;  // why none was usable
};

// The snapshot of the index of the text at text_path whose stamp is text,
// mapped or read as platform::OpenFileContent does. Throws std::bad_alloc.
IndexLoad LoadIndex(const std::string& text_path,
                    const platform::FileStamp& text);

// True when the index's header names the text whose stamp is text, or
// says it never will (another format), or the index cannot be opened (the
// system refused, which says nothing of its text): no use waiting for
// another index. Reads the header alone.
bool IndexNamesText(const std::string& text_path,
                    const platform::FileStamp& text);

}  // namespace mervane

#endif  // MERVANE_FILTER_INDEX_FILE_H_
