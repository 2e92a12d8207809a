#include "admin/section_lookup.h"

#include "admin/admin_messages.h"
#include "config/ip_address.h"

namespace mervane {

SectionLookup& SectionLookup::Ip(const char* ip) {
  return Step(AddressSectionName(ip).c_str(), messages::kIpNotRegistered);
}

SectionLookup& SectionLookup::Host(const char* host) {
  return Step(host, messages::kHostNotFound);
}

SectionLookup& SectionLookup::Child(const char* name) {
  return Step(name, messages::kIncompleteIp);
}

SectionLookup& SectionLookup::Step(const char* name, const char* refusal) {
  if (missing_ != nullptr) return *this;
  section_ = section_->GetSection(name);
  if (section_->IsNull()) missing_ = refusal;
  return *this;
}

}  // namespace mervane
