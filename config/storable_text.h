// Which texts the configuration file can carry. The file writes every text
// as it is, without quoting, so some texts would come back changed after a
// save and a reload, or would break the file's structure. Save refuses a
// tree that holds such a text, and the administration program refuses such
// input before it changes anything.

#ifndef MERVANE_CONFIG_STORABLE_TEXT_H_
#define MERVANE_CONFIG_STORABLE_TEXT_H_

#include <string>

namespace mervane {

class ConfigSection;

// A section name survives when it is not empty, holds no line break, ':' or
// ';', does not start with a blank or tab, and has at most 255 characters.
bool IsStorableSectionName(const char* name);
// An array (or value) name survives when it is not empty, holds no line
// feed, '=', '[' or ']', and has at most 255 characters. Leading blanks and
// CRs survive: the reader keeps what stands between ')' and '='.
bool IsStorableArrayName(const char* name);
// A string value survives when it holds no line break and has at most 511
// characters. The empty text (and null, stored as the empty text) is
// storable: it is written as a line that the reader drops, which is
// intended.
bool IsStorableString(const char* text);
// True when a save and a reload would give back every section, array and
// value below root unchanged (empty strings aside): every name and string
// is storable, no two siblings share a name (a reload would merge them), an
// array's name and a value's name together fit the reader's 255
// characters, no line outgrows the reader's 1022 characters with its
// indentation, no array holding values is unnamed, every blob has bytes
// and names without ':', ';', CR or a leading blank, and no section is nested
// deeper than kDeepestNesting levels. When not, *problem (when given) tells
// which text cannot be stored and in which section it sits.
bool IsStorableTree(const ConfigSection& root, std::string* problem = nullptr);

}  // namespace mervane

#endif  // MERVANE_CONFIG_STORABLE_TEXT_H_
