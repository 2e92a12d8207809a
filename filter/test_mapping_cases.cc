#include "filter/test_mapping_cases.h"

#include "gtest/gtest.h"

namespace mervane {

std::ostream& operator<<(std::ostream& out, const MappingCase& c) {
  return out << c.ip << ":" << c.port << " " << c.host << " " << c.url;
}

void ExpectMappings(const TestEnvironment& environment,
                    const std::vector<MappingCase>& cases,
                    const MapFunction& map) {
  for (const MappingCase& c : cases) {
    const std::string physical = environment.Path(
        c.physical_path != nullptr ? c.physical_path : WwwrootPath(c.url));
    const Mapping mapping = map(c, physical);
    if (*c.expected == '\0') {
      EXPECT_EQ(SF_STATUS_REQ_NEXT_NOTIFICATION, mapping.status) << c;
      EXPECT_EQ(physical, mapping.path) << c;
    } else {
      EXPECT_EQ(SF_STATUS_REQ_HANDLED_NOTIFICATION, mapping.status) << c;
      EXPECT_EQ(environment.Path(c.expected), mapping.path) << c;
    }
  }
}

}  // namespace mervane
