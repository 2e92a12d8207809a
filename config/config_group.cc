#include "config/config_group.h"

namespace mervane {

ConfigGroup::ConfigGroup(const char* name, bool is_array)
    : ConfigList(name), flags_(is_array ? kIsArray : 0) {}

ConfigGroup::ConfigGroup(bool is_array, bool is_null)
    : flags_((is_array ? kIsArray : 0) | (is_null ? kIsNull : 0)) {}

ConfigGroup::ConfigGroup(const ConfigGroup& other)
    : ConfigList(other), flags_(other.flags_) {}

ConfigGroup::~ConfigGroup() = default;

ConfigNode* ConfigGroup::Clone() const { return new ConfigGroup(*this); }

}  // namespace mervane
