// Tables of requests and the physical paths the filter should give them,
// checked against the filter object itself or against the built library.

#ifndef MERVANE_FILTER_TEST_MAPPING_CASES_H_
#define MERVANE_FILTER_TEST_MAPPING_CASES_H_

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "filter/test_environment.h"

namespace mervane {

// The expected path of a request that passes with the server's own path.
inline constexpr char kUnchanged[] = "";

// One request; paths in Windows form, as the environment's Path takes them.
struct MappingCase {
  const char* ip;
  const char* port;
  const char* host;
  const char* url;
  const char* expected;  // kUnchanged: passed with the server's path
  const char* physical_path = nullptr;  // null: below c:\inetpub\wwwroot
};
std::ostream& operator<<(std::ostream& out, const MappingCase& c);

// Maps one request: the case, and the server's physical path for it.
using MapFunction =
    std::function<Mapping(const MappingCase&, const std::string& physical)>;

// Maps each case with map (its paths given by environment.Path) and expects
// the status and the physical path afterwards.
void ExpectMappings(const TestEnvironment& environment,
                    const std::vector<MappingCase>& cases,
                    const MapFunction& map);

}  // namespace mervane

#endif  // MERVANE_FILTER_TEST_MAPPING_CASES_H_
