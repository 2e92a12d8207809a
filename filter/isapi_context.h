// IsapiContext: the server's filter context (HTTP_FILTER_CONTEXT) seen as
// the two services the mapping needs from it, and the one report it makes to
// it.

#ifndef MERVANE_FILTER_ISAPI_CONTEXT_H_
#define MERVANE_FILTER_ISAPI_CONTEXT_H_

#include <cstdint>

#include "filter/mapped_site.h"
#include "filter/parse_place.h"
#include "filter/request_memory.h"
#include "filter/server_variable_source.h"
#include "platform/isapi.h"

namespace mervane {

class IsapiContext : public ServerVariableSource,
                     public RequestMemory,
                     public ParsePlace {
 public:
  // context must outlive this object.
  explicit IsapiContext(HTTP_FILTER_CONTEXT* context) : context_(context) {}

  int GetServerVariable(const char* name, char* buffer, uint32_t size) override;
  void* AllocMem(uint32_t size) override;
  // Asks the server (isapi::kParseElsewhere); one that does not know the
  // request lets the parse happen here.
  bool TakesParseElsewhere() override;
  // Tells the server what served its mapped request (isapi::kReportSite).
  // A server that does not know the request ignores it.
  void ReportSite(const MappedSite& site);

 private:
  HTTP_FILTER_CONTEXT* context_;
};

}  // namespace mervane

#endif  // MERVANE_FILTER_ISAPI_CONTEXT_H_
