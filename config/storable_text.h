// Which texts the configuration file can carry. The file writes every text
// as it is, without quoting, so some texts would come back changed after a
// save and a reload, or would break the file's structure. Save refuses a
// tree that holds such a text, and the administration program refuses such
// input before it changes anything.

#ifndef MERVANE_CONFIG_STORABLE_TEXT_H_
#define MERVANE_CONFIG_STORABLE_TEXT_H_

namespace mervane {

class ConfigSection;

// A section name survives when it holds no line break, ':' or ';', does not
// start with a blank or tab, and has at most 255 characters.
bool IsStorableSectionName(const char* name);
// An array (or value) name survives when it holds no line break, '=', '['
// or ']', does not start with a blank or tab, and has at most 255
// characters.
bool IsStorableArrayName(const char* name);
// A string value survives when it holds no line break and has at most 511
// characters. The empty text is storable: it is written as a line that the
// reader drops, which is intended.
bool IsStorableString(const char* text);
// True when every name and string value below root is storable.
bool IsStorableTree(const ConfigSection& root);

}  // namespace mervane

#endif  // MERVANE_CONFIG_STORABLE_TEXT_H_
