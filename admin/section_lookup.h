// SectionLookup: finds a section of the configuration by its path from the
// root, one step at a time, and remembers which step found nothing. Form
// actions use it so that they refuse with a message naming what is missing
// instead of writing into the shared null section; pages use its section,
// which is NullSection() after a missing step, like any chain of lookups.

#ifndef MERVANE_ADMIN_SECTION_LOOKUP_H_
#define MERVANE_ADMIN_SECTION_LOOKUP_H_

#include "config/config_section.h"

namespace mervane {

class SectionLookup {
 public:
  explicit SectionLookup(ConfigSection* root) : section_(root) {}

  // Each step goes down to the child section of that name; an IP may be
  // given in either notation. After a step that found nothing, further
  // steps change nothing.
  SectionLookup& Ip(const char* ip);
  SectionLookup& Host(const char* host);
  SectionLookup& Child(const char* name);

  // The section found; NullSection() when a step found nothing. Never null.
  ConfigSection* section() const { return section_; }
  // The refusal text for the first step that found nothing; null when
  // every step found its section.
  const char* missing() const { return missing_; }

 private:
  SectionLookup& Step(const char* name, const char* refusal);

  ConfigSection* section_;
  const char* missing_ = nullptr;
};

}  // namespace mervane

#endif  // MERVANE_ADMIN_SECTION_LOOKUP_H_
