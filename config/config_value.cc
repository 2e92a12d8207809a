#include "config/config_value.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace mervane {

namespace {

char kEmptyText[] = "";

char* CopyText(const char* text) {
  if (text == nullptr) text = "";
  size_t size = std::strlen(text) + 1;
  char* copy = new char[size];
  std::memcpy(copy, text, size);
  return copy;
}

unsigned char* CopyBytes(const void* data, uint32_t size) {
  if (data == nullptr || size == 0) return nullptr;
  unsigned char* copy = new unsigned char[size];
  std::memcpy(copy, data, size);
  return copy;
}

// The leading decimal number of text, as "%d" and "%I64d" read it; 0 when
// text does not begin (after blanks) with one.
int64_t ParseDecimal(const char* text) {
  return std::strtoll(text, nullptr, 10);
}

}  // namespace

ConfigValue::ConfigValue() : type_(TypeNull) { data_.i64 = 0; }

ConfigValue::ConfigValue(int32_t value) : type_(TypeInt) {
  data_.i64 = 0;
  data_.i = value;
}

ConfigValue::ConfigValue(float value) : type_(TypeFloat) {
  data_.i64 = 0;
  data_.f = value;
}

ConfigValue::ConfigValue(const char* text) : type_(TypeString) {
  data_.text = CopyText(text);
}

ConfigValue::ConfigValue(double value) : type_(TypeDouble) { data_.d = value; }

ConfigValue::ConfigValue(int64_t value) : type_(TypeInt64) {
  data_.i64 = value;
}

ConfigValue::ConfigValue(const void* data, uint32_t size)
    : type_(TypeBlob), size_(data != nullptr ? size : 0) {
  data_.bytes = CopyBytes(data, size_);
}

ConfigValue::ConfigValue(const ConfigValue& other)
    : ConfigNode(other), type_(other.type_), size_(other.size_) {
  data_ = other.data_;
  if (type_ == TypeString) data_.text = CopyText(other.data_.text);
  if (type_ == TypeBlob) data_.bytes = CopyBytes(other.data_.bytes, size_);
}

ConfigValue::~ConfigValue() {
  if (type_ == TypeString) delete[] data_.text;
  if (type_ == TypeBlob) delete[] data_.bytes;
}

ConfigNode* ConfigValue::Clone() const { return new ConfigValue(*this); }

int32_t ConfigValue::AsInt() const { return type_ == TypeInt ? data_.i : 0; }

float ConfigValue::AsFloat() const {
  return type_ == TypeFloat ? data_.f : 0.0f;
}

const char* ConfigValue::AsString() const {
  return type_ == TypeString ? data_.text : kEmptyText;
}

double ConfigValue::AsDouble() const {
  return type_ == TypeDouble ? data_.d : 0.0;
}

int64_t ConfigValue::AsInt64() const {
  return type_ == TypeInt64 ? data_.i64 : 0;
}

const void* ConfigValue::BlobData() const {
  return type_ == TypeBlob ? data_.bytes : nullptr;
}

uint32_t ConfigValue::BlobSize() const { return type_ == TypeBlob ? size_ : 0; }

const char* ConfigValue::SetString(const char* text) {
  if (type_ != TypeString) return nullptr;
  char* copy = CopyText(text);
  delete[] data_.text;
  data_.text = copy;
  return data_.text;
}

int32_t ConfigValue::SetFromInt(int32_t value) {
  switch (type_) {
    case TypeInt:
      data_.i = value;
      return value;
    case TypeFloat:
      data_.f = static_cast<float>(value);
      return value;
    case TypeString: {
      char text[16];
      std::snprintf(text, sizeof(text), "%d", value);
      SetString(text);
      return value;
    }
    case TypeDouble:
      data_.d = value;
      return value;
    case TypeInt64:
      data_.i64 = value;
      return value;
    default:
      return 0;
  }
}

const char* ConfigValue::SetFromString(const char* text) {
  if (text == nullptr) {
    SetFromInt(0);
    return nullptr;
  }
  switch (type_) {
    case TypeInt:
      data_.i = static_cast<int32_t>(ParseDecimal(text));
      return text;
    case TypeFloat:
      data_.f = static_cast<float>(std::strtod(text, nullptr));
      return text;
    case TypeString:
      SetString(text);
      return text;
    case TypeDouble:
      data_.d = std::strtod(text, nullptr);
      return text;
    case TypeInt64:
      data_.i64 = ParseDecimal(text);
      return text;
    default:
      return nullptr;
  }
}

}  // namespace mervane
