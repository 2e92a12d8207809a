#include "config/config_section.h"

#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "config/config_stream.h"
#include "config/config_text_file.h"
#include "config/storable_text.h"
#include "platform/platform.h"

namespace mervane {

namespace {

const ConfigGroup* AsGroup(const ConfigNode* child) {
  return static_cast<const ConfigGroup*>(child);
}

// AddArray's result after `add` put a value into it: the array's first int,
// or 0 when there was no array.
template <typename AddValue>
int32_t FirstIntAfter(ConfigArray* array, AddValue add) {
  if (array == nullptr) return 0;
  add(array);
  return array->FirstInt();
}

}  // namespace

ConfigSection::ConfigSection(const char* name) : ConfigSection(name, 0) {}

ConfigSection::ConfigSection(NullForm) : ConfigGroup(false, true), bound_(0) {}

ConfigSection::ConfigSection(const ConfigSection& other)
    : ConfigGroup(other), bound_(other.bound_) {}

ConfigSection::ConfigSection(const char* path, int bound)
    : ConfigGroup(path, false), bound_(bound) {}

ConfigSection::~ConfigSection() = default;

ConfigNode* ConfigSection::Clone() const { return new ConfigSection(*this); }

int ConfigSection::LoadFrom(ConfigStream* stream) {
  if (IsReadOnly()) return 0;
  while (stream->NextLine()) {
    int event = stream->ParseLine();
    switch (event) {
      case EventSectionBegin: {
        ConfigSection* child = AddSection(stream->ParsedName(nullptr));
        if (child != nullptr) child->LoadFrom(stream);
        break;
      }
      case EventSectionEnd:
        return 1;
      case EventBlobBegin:
        LoadBlob(stream);
        break;
      case EventInt:
      case EventFloat:
      case EventString:
      case EventDouble:
      case EventInt64:
        LoadValue(stream, event);
        break;
      default:
        break;
    }
  }
  return 0;
}

void ConfigSection::LoadValue(ConfigStream* stream, int event) {
  const char* value_name = nullptr;
  const char* array_name = stream->ParsedName(&value_name);
  switch (event) {
    case EventInt:
      AddInt(array_name, stream->IntValue(), value_name);
      break;
    case EventFloat:
      AddFloat(array_name, stream->FloatValue(), value_name);
      break;
    case EventString:
      AddString(array_name, stream->ValueText(), value_name);
      break;
    case EventDouble:
      AddDouble(array_name, stream->DoubleValue(), value_name);
      break;
    case EventInt64:
      AddInt64(array_name, stream->Int64Value(), value_name);
      break;
  }
}

void ConfigSection::LoadBlob(ConfigStream* stream) {
  const char* value_name = nullptr;
  const char* array_name = stream->ParsedName(&value_name);
  // Counting reads ahead and may replace the stream's name buffer.
  std::string array(array_name);
  std::string value(value_name != nullptr ? value_name : "");
  int lines = stream->CountBlobLines();
  if (lines <= 0) {
    stream->ReadBlob(nullptr, 0);
    return;
  }
  // Lines without a byte leave their byte 0.
  std::vector<unsigned char> bytes(lines, 0);
  stream->ReadBlob(bytes.data(), static_cast<uint32_t>(lines));
  AddBlob(array.c_str(), bytes.data(), static_cast<uint32_t>(lines),
          value_name != nullptr ? value.c_str() : nullptr);
}

int ConfigSection::Load() {
  // An empty registry value binds a file with no path at all.
  if (!bound_ || Name() == nullptr) return 0;
  ConfigTextFile file(Name(), ConfigTextFile::kRead);
  if (!file.IsOpen()) return 0;
  LoadFrom(&file);
  return file.Failed() ? 0 : 1;
}

int ConfigSection::WriteTo(ConfigStream* stream) {
  for (int index = 1; index <= Count(); ++index) {
    const ConfigNode* child = At(index);
    if (child == nullptr) continue;
    if (AsGroup(child)->IsArray()) {
      ConfigArray* array = GetArrayAt(index);
      if (!array->IsNull()) array->WriteTo(stream);
    } else {
      ConfigSection* section = GetSectionAt(index);
      if (section->IsNull()) continue;
      stream->BeginSection(section->Name());
      section->WriteTo(stream);
      stream->EndSection();
    }
  }
  return 1;
}

int ConfigSection::Save(std::string* problem,
                        const platform::ReplaceSteps& steps) {
  std::string why;
  bool saved = false;
  if (!bound_ || Name() == nullptr) {
    why = "the configuration is not bound to a file";
  } else if (IsStorableTree(*this, &why)) {
    saved = WriteThroughTempFile(&why, steps);
  }
  if (problem != nullptr) *problem = why;
  return saved ? 1 : 0;
}

bool ConfigSection::WriteThroughTempFile(std::string* problem,
                                         const platform::ReplaceSteps& steps) {
  std::string text;
  ConfigTextFile file(Name(), &text);
  WriteTo(&file);
  file.Close();
  // Through a symbolic link the file it points to is replaced, so that
  // every server whose path is a link to one shared file sees the change.
  std::string target;
  if (!platform::FinalFilePath(Name(), &target)) {
    *problem = std::string(Name()) + ": " + platform::LastErrorText();
    return false;
  }
  // One fixed name: a save killed half-way leaves at most this one file,
  // which the next save takes over.
  const std::string temp_path = target + ".tmp";
  return platform::ReplaceFileDurably(temp_path.c_str(), target.c_str(), text,
                                      problem,
                                      steps) != platform::Replacement::kFailed;
}

ConfigSection* ConfigSection::GetSection(const char* name) const {
  return GetSectionAt(IndexOf(name));
}

ConfigSection* ConfigSection::GetSectionAt(int index) const {
  ConfigNode* child = At(index);
  if (child == nullptr || AsGroup(child)->IsArray()) return NullSection();
  return static_cast<ConfigSection*>(child);
}

ConfigArray* ConfigSection::GetArray(const char* name) const {
  return GetArrayAt(IndexOf(name));
}

ConfigArray* ConfigSection::GetArrayAt(int index) const {
  ConfigNode* child = At(index);
  if (child == nullptr || !AsGroup(child)->IsArray()) return NullArray();
  return static_cast<ConfigArray*>(child);
}

ConfigSection* ConfigSection::AddSection(const char* name) {
  return GetOrCreate<ConfigSection>(name);
}

ConfigArray* ConfigSection::AddArray(const char* name) {
  return GetOrCreate<ConfigArray>(name);
}

template <typename Group>
Group* ConfigSection::GetOrCreate(const char* name) {
  if (IsReadOnly()) return nullptr;
  constexpr bool kWantArray = std::is_same<Group, ConfigArray>::value;
  ConfigNode* existing = Find(name);
  if (existing != nullptr) {
    if (AsGroup(existing)->IsArray() != kWantArray) return nullptr;
    return static_cast<Group*>(existing);
  }
  std::unique_ptr<Group> created;
  if constexpr (kWantArray) {
    created = std::make_unique<Group>(name);
  } else {
    created.reset(NewSection(name));
  }
  if (Add(created.get()) == 0) return nullptr;
  return created.release();
}

ConfigSection* ConfigSection::NewSection(const char* name) {
  return new ConfigSection(name);
}

int32_t ConfigSection::AddInt(const char* array_name, int32_t value,
                              const char* value_name) {
  return FirstIntAfter(AddArray(array_name), [&](ConfigArray* array) {
    array->AddInt(value_name, value);
  });
}

int32_t ConfigSection::AddFloat(const char* array_name, float value,
                                const char* value_name) {
  return FirstIntAfter(AddArray(array_name), [&](ConfigArray* array) {
    array->AddFloat(value_name, value);
  });
}

int32_t ConfigSection::AddString(const char* array_name, const char* text,
                                 const char* value_name) {
  return FirstIntAfter(AddArray(array_name), [&](ConfigArray* array) {
    array->AddString(value_name, text);
  });
}

int32_t ConfigSection::AddDouble(const char* array_name, double value,
                                 const char* value_name) {
  return FirstIntAfter(AddArray(array_name), [&](ConfigArray* array) {
    array->AddDouble(value_name, value);
  });
}

int32_t ConfigSection::AddInt64(const char* array_name, int64_t value,
                                const char* value_name) {
  return FirstIntAfter(AddArray(array_name), [&](ConfigArray* array) {
    array->AddInt64(value_name, value);
  });
}

int32_t ConfigSection::AddBlob(const char* array_name, const void* data,
                               uint32_t size, const char* value_name) {
  return FirstIntAfter(AddArray(array_name), [&](ConfigArray* array) {
    array->AddBlob(value_name, data, size);
  });
}

ConfigFile::ConfigFile(const char* path) : ConfigSection(path, 1) {}

// Function-local statics: ready on first use, even from the static
// initialisation of another translation unit, and destroyed at exit only
// after every static object whose construction used them.
ConfigSection* NullSection() {
  static ConfigSection null_section{ConfigSection::NullForm{}};
  return &null_section;
}

ConfigArray* NullArray() {
  static ConfigArray null_array{ConfigArray::NullForm{}};
  return &null_array;
}

ConfigValue* NullValue() {
  static ConfigValue null_value;
  return &null_value;
}

}  // namespace mervane
