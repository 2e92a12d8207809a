// The text and path functions of the URL mapping. All work on 8-bit text
// and compare byte for byte: letter case matters here, unlike in the names
// of the configuration tree.

#ifndef MERVANE_FILTER_PATH_TEXT_H_
#define MERVANE_FILTER_PATH_TEXT_H_

#include <string>
#include <string_view>

namespace mervane {

// text with every '/' replaced by '\'.
std::string ToBackslashes(std::string_view text);

// The functions below return a part of their first argument, which must
// outlive the view.

// The text between the first '\' of text and the next '\' (or the end).
// Empty when text has no '\' or the two are adjacent.
std::string_view FirstSegment(std::string_view text);

// The part of text after (or before) the first occurrence of needle; empty
// when needle does not occur in text.
std::string_view TextAfter(std::string_view text, std::string_view needle);
std::string_view TextBefore(std::string_view text, std::string_view needle);

// The server's site root directory for a request, without a final '\':
// physical_path with the request's URL (url_text, already in backslashes)
// cut off its end. When physical_path does not end with that text: for a
// URL of two or more characters, the part before its first occurrence;
// otherwise physical_path without its last character.
std::string_view SiteRoot(std::string_view url_text,
                          std::string_view physical_path);

// True when path names an existing file; false for a directory, a missing
// entry, and a name with the wildcards '*' or '?', which could otherwise
// match some other file.
bool IsExistingFile(const std::string& path);

}  // namespace mervane

#endif  // MERVANE_FILTER_PATH_TEXT_H_
