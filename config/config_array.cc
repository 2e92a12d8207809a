#include "config/config_array.h"

#include <memory>

#include "config/config_section.h"
#include "config/config_stream.h"

namespace mervane {

ConfigArray::ConfigArray(const char* name) : ConfigGroup(name, true) {}

ConfigArray::ConfigArray(NullForm) : ConfigGroup(true, true) {}

ConfigArray::ConfigArray(const ConfigArray& other) : ConfigGroup(other) {}

ConfigArray::~ConfigArray() = default;

ConfigNode* ConfigArray::Clone() const { return new ConfigArray(*this); }

ConfigValue* ConfigArray::ValueAt(int index) const {
  ConfigNode* child = At(index);
  return child != nullptr ? static_cast<ConfigValue*>(child) : NullValue();
}

int ConfigArray::IndexOfType(ValueType type) const {
  for (int index = 1; index <= Count(); ++index) {
    const ConfigNode* child = At(index);
    if (child != nullptr &&
        static_cast<const ConfigValue*>(child)->Type() == type) {
      return index;
    }
  }
  return 0;
}

int32_t ConfigArray::FirstInt() const {
  return ValueAt(IndexOfType(TypeInt))->AsInt();
}

const char* ConfigArray::FirstString() const {
  int index = IndexOfType(TypeString);
  return index != 0 ? ValueAt(index)->AsString() : nullptr;
}

ConfigArray* ConfigArray::AddInt(const char* value_name, int32_t value) {
  return AddValue(new ConfigValue(value), value_name);
}

ConfigArray* ConfigArray::AddFloat(const char* value_name, float value) {
  return AddValue(new ConfigValue(value), value_name);
}

ConfigArray* ConfigArray::AddString(const char* value_name, const char* text) {
  return AddValue(new ConfigValue(text), value_name);
}

ConfigArray* ConfigArray::AddDouble(const char* value_name, double value) {
  return AddValue(new ConfigValue(value), value_name);
}

ConfigArray* ConfigArray::AddInt64(const char* value_name, int64_t value) {
  return AddValue(new ConfigValue(value), value_name);
}

ConfigArray* ConfigArray::AddBlob(const char* value_name, const void* data,
                                  uint32_t size) {
  return AddValue(new ConfigValue(data, size), value_name);
}

ConfigArray* ConfigArray::SetFirstInt(int32_t value) {
  int index = IndexOfType(TypeInt);
  if (index == 0) return AddInt(nullptr, value);
  ValueAt(index)->SetFromInt(value);
  return this;
}

ConfigArray* ConfigArray::SetFirstString(const char* text) {
  int index = IndexOfType(TypeString);
  if (index == 0) return AddString(nullptr, text);
  ValueAt(index)->SetFromString(text);
  return this;
}

int ConfigArray::WriteTo(ConfigStream* stream) {
  const char* name = Name();
  if (name == nullptr) return 0;
  for (int index = 1; index <= Count(); ++index) {
    const ConfigValue* value = ValueAt(index);
    const char* value_name = value->Name();
    switch (value->Type()) {
      case TypeBlob:
        stream->BeginBlob(name, value_name);
        stream->WriteBlobBytes(value->BlobData(), value->BlobSize());
        stream->EndBlob();
        break;
      case TypeInt:
        stream->WriteInt(name, value->AsInt(), value_name);
        break;
      case TypeFloat:
        stream->WriteFloat(name, value->AsFloat(), value_name);
        break;
      case TypeString:
        stream->WriteStringValue(name, value->AsString(), value_name);
        break;
      case TypeDouble:
        stream->WriteDouble(name, value->AsDouble(), value_name);
        break;
      case TypeInt64:
        stream->WriteInt64(name, value->AsInt64(), value_name);
        break;
      default:
        break;
    }
  }
  return 1;
}

ConfigArray* ConfigArray::AddValue(ConfigValue* value, const char* value_name) {
  std::unique_ptr<ConfigValue> owned(value);
  owned->SetName(value_name);
  if (Add(owned.get()) != 0) owned.release();
  return this;
}

}  // namespace mervane
