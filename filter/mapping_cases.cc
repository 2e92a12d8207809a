#include "filter/mapping_cases.h"

#include "gtest/gtest.h"

namespace mervane {

std::ostream& operator<<(std::ostream& out, const MappingCase& c) {
  return out << c.ip << ":" << c.port << " " << c.host << " " << c.url;
}

std::vector<MappingCase> WorkedExampleCases() {
  return {
      {"10.0.0.5", "80", "alpha", "/a/b.htm", "d:\\www\\alpha\\a\\b.htm"},
      {"10.0.0.5", "80", "alpha", "/", "d:\\www\\alpha\\"},
      {"10.0.0.5", "80", "alpha", "/docs/x/y.txt",
       "d:\\shared\\docs\\x\\y.txt"},
      {"10.0.0.5", "80", "alpha", "/cgi-bin/run.exe",
       "d:\\www\\cgi-bin\\run.exe"},
      {"10.0.0.5", "80", "beta", "/img/logo.gif",
       "d:\\www\\img\\beta\\logo.gif"},
      {"10.0.0.5", "80", "beta", "/index.htm",
       "d:\\www\\users\\beta\\index.htm"},
      {"10.0.0.5", "80", "beta", "/", "d:\\www\\users\\beta"},
      {"10.0.0.5", "80", "beta", "/cgi-bin/run.exe",
       "d:\\www\\cgi-bin\\beta\\run.exe"},
      {"10.0.0.5", "8080", "alpha", "/a/b.htm", kUnchanged},
      {"10.0.0.5", "80", "gamma", "/a/b.htm", kUnchanged},
  };
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
