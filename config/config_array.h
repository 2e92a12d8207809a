// ConfigArray: a named group of values. A setting of the configuration is an
// array holding one unnamed value.

#ifndef MERVANE_CONFIG_CONFIG_ARRAY_H_
#define MERVANE_CONFIG_CONFIG_ARRAY_H_

#include <cstdint>

#include "config/config_group.h"
#include "config/config_value.h"

namespace mervane {

class ConfigArray : public ConfigGroup {
 public:
  explicit ConfigArray(const char* name);
  // The unnamed null form (NullArray).
  struct NullForm {};
  explicit ConfigArray(NullForm);
  ConfigArray(const ConfigArray& other);
  ~ConfigArray() override;

  ConfigNode* Clone() const override;

  // The value in that slot, or NullValue(). Never null.
  ConfigValue* ValueAt(int index) const;
  // Index of the first value of that type in slot order; 0 when none.
  int IndexOfType(ValueType type) const;
  // AsInt() of the first int value; 0 when there is none.
  int32_t FirstInt() const;
  // AsString() of the first string value; null when there is none.
  const char* FirstString() const;

  // Each adds a new value of its type named value_name (null: unnamed); a
  // value of the same name already present leaves the array unchanged.
  // Each returns the array itself.
  ConfigArray* AddInt(const char* value_name, int32_t value);
  ConfigArray* AddFloat(const char* value_name, float value);
  ConfigArray* AddString(const char* value_name, const char* text);
  ConfigArray* AddDouble(const char* value_name, double value);
  ConfigArray* AddInt64(const char* value_name, int64_t value);
  ConfigArray* AddBlob(const char* value_name, const void* data, uint32_t size);

  // Sets the first int (or string) value, adding an unnamed one when the
  // array holds none. Returns the array.
  ConfigArray* SetFirstInt(int32_t value);
  ConfigArray* SetFirstString(const char* text);

  // Writes the array's values as value lines; 0 without writing for an
  // unnamed array.
  int WriteTo(ConfigStream* stream);

 private:
  ConfigArray* AddValue(ConfigValue* value, const char* value_name);
};

}  // namespace mervane

#endif  // MERVANE_CONFIG_CONFIG_ARRAY_H_
