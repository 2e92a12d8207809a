#include "config/storable_text.h"

#include <cstring>
#include <string>
#include <vector>

#include "config/config_section.h"
#include "config/format_limits.h"

namespace mervane {

namespace {

// Longer than any number the writer prints ("%d", "%f", "%G", int64).
constexpr size_t kLongestNumberText = 48;
// "(string)" and "=", the widest frame of a value line.
constexpr size_t kValueLineFrame = 9;
// How much of a refused text a reason quotes.
constexpr size_t kQuotedLength = 60;

bool StartsWithBlank(const char* text) {
  return text[0] == ' ' || text[0] == '\t';
}

bool HasAnyOf(const char* text, const char* characters) {
  return text[std::strcspn(text, characters)] != '\0';
}

bool IsStorableName(const char* name, const char* forbidden) {
  if (name == nullptr || name[0] == '\0') return false;
  return std::strlen(name) <= kLongestName && !HasAnyOf(name, forbidden);
}

// The name part of a value's line: "array" or "array[value]".
size_t NamePartLength(const char* array_name, const char* value_name) {
  size_t length = std::strlen(array_name);
  if (value_name != nullptr) length += std::strlen(value_name) + 2;
  return length;
}

// A walk of the tree that stops at the first text the file cannot carry
// and tells where it sits.
class Check {
 public:
  explicit Check(std::string* problem) : problem_(problem) {}

  bool Children(const ConfigSection& section) {
    for (int index = 1; index <= section.Count(); ++index) {
      if (section.At(index) == nullptr) continue;
      bool storable = section.GetArrayAt(index)->IsNull()
                          ? Section(section, index)
                          : Array(section, index);
      if (!storable) return false;
    }
    return true;
  }

 private:
  size_t Depth() const { return path_.size(); }

  bool FitsOnOneLine(size_t length) const {
    return 4 * Depth() + length <= kLongestLine;
  }

  bool Section(const ConfigSection& parent, int index) {
    const ConfigSection* child = parent.GetSectionAt(index);
    const char* name = child->Name();
    if (!IsStorableSectionName(name) || parent.IndexOf(name) != index ||
        !FitsOnOneLine(std::strlen(name) + 3)) {
      return Refuse("the section name", name);
    }
    if (Depth() == kDeepestNesting) {
      return Refuse("the section nested too deep", name);
    }
    path_.push_back(name);
    if (!Children(*child)) return false;
    path_.pop_back();
    return true;
  }

  bool Array(const ConfigSection& parent, int index) {
    const ConfigArray* array = parent.GetArrayAt(index);
    const char* name = array->Name();
    if (name == nullptr) {
      // Never written: storable only when that loses nothing.
      for (int i = 1; i <= array->Count(); ++i) {
        if (!array->ValueAt(i)->IsNull())
          return Refuse("the unnamed array", "");
      }
      return true;
    }
    if (!IsStorableArrayName(name) || parent.IndexOf(name) != index) {
      return Refuse("the name", name);
    }
    for (int i = 1; i <= array->Count(); ++i) {
      if (array->At(i) != nullptr && !Value(*array, i)) return false;
    }
    return true;
  }

  bool Value(const ConfigArray& array, int index) {
    const ConfigValue* value = array.ValueAt(index);
    const char* array_name = array.Name();
    const char* value_name = value->Name();
    if (value_name != nullptr && (!IsStorableArrayName(value_name) ||
                                  array.IndexOf(value_name) != index)) {
      return Refuse("the value name", value_name);
    }
    size_t name_part = NamePartLength(array_name, value_name);
    if (name_part > kLongestName) return Refuse("the name", array_name);
    switch (value->Type()) {
      case TypeNull:
        return true;  // never written
      case TypeBlob:
        // A blob's begin line skips blanks before its name and ends it at
        // ':' or CR, its end line at ';'; a blob without bytes would come
        // back as no value at all.
        if (value->BlobSize() > 0 && !StartsWithBlank(array_name) &&
            !HasAnyOf(array_name, ":;\r") &&
            (value_name == nullptr || !HasAnyOf(value_name, ":;\r"))) {
          return true;
        }
        return Refuse("the blob", array_name);
      case TypeString:
        if (IsStorableString(value->AsString()) &&
            FitsOnOneLine(kValueLineFrame + name_part +
                          std::strlen(value->AsString()))) {
          return true;
        }
        return Refuse("the text", value->AsString());
      default:
        if (FitsOnOneLine(kValueLineFrame + name_part + kLongestNumberText)) {
          return true;
        }
        return Refuse("the number", array_name);
    }
  }

  // Stores "<what> "<text>" in <section path>" and returns false.
  bool Refuse(const char* what, const char* text) {
    if (problem_ == nullptr) return false;
    std::string quoted = text != nullptr ? text : "";
    if (quoted.size() > kQuotedLength) {
      quoted.resize(kQuotedLength);
      quoted += "...";
    }
    *problem_ = std::string(what) + " \"" + quoted + "\" in ";
    if (path_.empty()) *problem_ += "the top level";
    for (size_t i = 0; i < path_.size(); ++i) {
      *problem_ += (i == 0 ? "" : "/") + path_[i];
    }
    *problem_ += " cannot be stored";
    return false;
  }

  std::string* problem_;
  std::vector<std::string> path_;  // the sections entered
};

}  // namespace

bool IsStorableSectionName(const char* name) {
  return IsStorableName(name, "\r\n:;") && !StartsWithBlank(name);
}

bool IsStorableArrayName(const char* name) {
  return IsStorableName(name, "\n=[]");
}

bool IsStorableString(const char* text) {
  if (text == nullptr) return true;
  return std::strlen(text) <= kLongestValueText && !HasAnyOf(text, "\r\n");
}

bool IsStorableTree(const ConfigSection& root, std::string* problem) {
  return Check(problem).Children(root);
}

}  // namespace mervane
