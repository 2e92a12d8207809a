#include "config/storable_text.h"

#include <cstring>

#include "config/config_section.h"

namespace mervane {

namespace {

constexpr size_t kLongestName = 255;
constexpr size_t kLongestValueText = 511;
// The reader splits longer lines, indentation included.
constexpr size_t kLongestLine = 1022;
// Longer than any number the writer prints ("%d", "%f", "%G", int64).
constexpr size_t kLongestNumberText = 48;
// "(string)" and "=", the widest frame of a value line.
constexpr size_t kValueLineFrame = 9;

bool StartsWithBlank(const char* text) {
  return text[0] == ' ' || text[0] == '\t';
}

bool HasAnyOf(const char* text, const char* characters) {
  return text[std::strcspn(text, characters)] != '\0';
}

bool IsStorableName(const char* name, const char* forbidden) {
  if (name == nullptr || name[0] == '\0' || StartsWithBlank(name)) {
    return false;
  }
  return std::strlen(name) <= kLongestName && !HasAnyOf(name, forbidden);
}

bool FitsOnOneLine(int depth, size_t length) {
  return 4 * static_cast<size_t>(depth) + length <= kLongestLine;
}

// The name part of a value's line: "array" or "array[value]".
size_t NamePartLength(const char* array_name, const char* value_name) {
  size_t length = std::strlen(array_name);
  if (value_name != nullptr) length += std::strlen(value_name) + 2;
  return length;
}

bool IsStorableValue(const ConfigArray& array, int index, int depth) {
  const ConfigValue* value = array.ValueAt(index);
  const char* array_name = array.Name();
  const char* value_name = value->Name();
  if (value_name != nullptr && (!IsStorableArrayName(value_name) ||
                                array.IndexOf(value_name) != index)) {
    return false;
  }
  size_t name_part = NamePartLength(array_name, value_name);
  if (name_part > kLongestName) return false;
  switch (value->Type()) {
    case TypeNull:
      return true;  // never written
    case TypeBlob:
      // A blob's begin line ends its name at ':' and its end line at ';';
      // a blob without bytes would come back as no value at all.
      return value->BlobSize() > 0 && !HasAnyOf(array_name, ":;") &&
             (value_name == nullptr || !HasAnyOf(value_name, ":;"));
    case TypeString:
      return IsStorableString(value->AsString()) &&
             FitsOnOneLine(depth, kValueLineFrame + name_part +
                                      std::strlen(value->AsString()));
    default:
      return FitsOnOneLine(depth,
                           kValueLineFrame + name_part + kLongestNumberText);
  }
}

bool IsStorableArray(const ConfigSection& parent, int index, int depth) {
  const ConfigArray* array = parent.GetArrayAt(index);
  const char* name = array->Name();
  if (name == nullptr) {
    // Never written: storable only when that loses nothing.
    for (int i = 1; i <= array->Count(); ++i) {
      if (!array->ValueAt(i)->IsNull()) return false;
    }
    return true;
  }
  if (!IsStorableArrayName(name) || parent.IndexOf(name) != index) {
    return false;
  }
  for (int i = 1; i <= array->Count(); ++i) {
    if (array->At(i) != nullptr && !IsStorableValue(*array, i, depth)) {
      return false;
    }
  }
  return true;
}

bool IsStorableChildren(const ConfigSection& section, int depth) {
  for (int index = 1; index <= section.Count(); ++index) {
    if (section.At(index) == nullptr) continue;
    if (section.GetArrayAt(index)->IsNull()) {
      const ConfigSection* child = section.GetSectionAt(index);
      const char* name = child->Name();
      if (!IsStorableSectionName(name) || section.IndexOf(name) != index ||
          !FitsOnOneLine(depth, std::strlen(name) + 3) ||
          !IsStorableChildren(*child, depth + 1)) {
        return false;
      }
    } else if (!IsStorableArray(section, index, depth)) {
      return false;
    }
  }
  return true;
}

}  // namespace

bool IsStorableSectionName(const char* name) {
  return IsStorableName(name, "\r\n:;");
}

bool IsStorableArrayName(const char* name) {
  return IsStorableName(name, "\r\n=[]");
}

bool IsStorableString(const char* text) {
  if (text == nullptr) return true;
  return std::strlen(text) <= kLongestValueText && !HasAnyOf(text, "\r\n");
}

bool IsStorableTree(const ConfigSection& root) {
  return IsStorableChildren(root, 0);
}

}  // namespace mervane
