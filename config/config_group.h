// ConfigGroup: a list with the is-array and is-null flags, the common base of
// sections and arrays.

#ifndef MERVANE_CONFIG_CONFIG_GROUP_H_
#define MERVANE_CONFIG_CONFIG_GROUP_H_

#include <cstdint>

#include "config/config_list.h"

namespace mervane {

class ConfigGroup : public ConfigList {
 public:
  ConfigGroup(const char* name, bool is_array);
  // The unnamed form used for the shared null nodes.
  ConfigGroup(bool is_array, bool is_null);
  ConfigGroup(const ConfigGroup& other);
  ~ConfigGroup() override;

  ConfigNode* Clone() const override;

  int IsArray() const { return (flags_ & kIsArray) != 0; }
  int IsNull() const { return (flags_ & kIsNull) != 0; }

 protected:
  bool IsReadOnly() const override { return IsNull() != 0; }

 private:
  static constexpr uint32_t kIsArray = 1;
  static constexpr uint32_t kIsNull = 2;
  uint32_t flags_;
};

}  // namespace mervane

#endif  // MERVANE_CONFIG_CONFIG_GROUP_H_
