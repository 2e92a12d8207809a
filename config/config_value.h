// ConfigValue: a typed leaf of the tree, held by a ConfigArray.
//
// Getters never convert between types: asking an int value for its string
// gives the shared empty text, asking a string for its int gives 0.

#ifndef MERVANE_CONFIG_CONFIG_VALUE_H_
#define MERVANE_CONFIG_CONFIG_VALUE_H_

#include <cstdint>

#include "config/config_node.h"

namespace mervane {

// The codes double as the reader's value-line events; 1 to 4 are not value
// types.
enum ValueType : int32_t {
  TypeNull = 0,
  TypeBlob = 5,
  TypeInt = 6,
  TypeFloat = 7,
  TypeString = 8,
  TypeDouble = 9,
  TypeInt64 = 10,
};

class ConfigValue : public ConfigNode {
 public:
  ConfigValue();                                 // TypeNull
  explicit ConfigValue(int32_t value);           // TypeInt
  explicit ConfigValue(float value);             // TypeFloat
  explicit ConfigValue(const char* text);        // TypeString; null -> ""
  explicit ConfigValue(double value);            // TypeDouble
  explicit ConfigValue(int64_t value);           // TypeInt64
  ConfigValue(const void* data, uint32_t size);  // TypeBlob (copied)
  ConfigValue(const ConfigValue& other);
  ~ConfigValue() override;

  ConfigNode* Clone() const override;

  ValueType Type() const { return type_; }
  int IsNull() const { return type_ == TypeNull; }

  int32_t AsInt() const;
  float AsFloat() const;
  // Never null: the shared empty text for any type but TypeString.
  const char* AsString() const;
  double AsDouble() const;
  int64_t AsInt64() const;
  const void* BlobData() const;
  uint32_t BlobSize() const;

  // Only for TypeString: stores a copy of text ("" for null) and returns the
  // stored text. Returns null, changing nothing, for every other type.
  const char* SetString(const char* text);
  // Stores value converted to the value's own type. Returns value, or 0 for
  // a type that holds no number.
  int32_t SetFromInt(int32_t value);
  // Parses text as the value's own type (0 when it holds no number). A null
  // text stores 0 (a string becomes "0") and returns null; otherwise returns
  // text, or null for a type that holds no number or text.
  const char* SetFromString(const char* text);

 protected:
  // The one value of TypeNull is the shared NullValue, never changed.
  bool IsReadOnly() const override { return type_ == TypeNull; }

 private:
  ValueType type_;
  uint32_t size_ = 0;  // blob bytes; 0 for other types
  union {
    int32_t i;
    float f;
    double d;
    int64_t i64;
    char* text;
    unsigned char* bytes;
  } data_;
};

}  // namespace mervane

#endif  // MERVANE_CONFIG_CONFIG_VALUE_H_
