// IsapiContext: the server's filter context (HTTP_FILTER_CONTEXT) seen as
// the two services the mapping needs from it.

#ifndef MERVANE_FILTER_ISAPI_CONTEXT_H_
#define MERVANE_FILTER_ISAPI_CONTEXT_H_

#include <cstdint>

#include "filter/request_memory.h"
#include "filter/server_variable_source.h"
#include "platform/isapi.h"

namespace mervane {

class IsapiContext : public ServerVariableSource, public RequestMemory {
 public:
  // context must outlive this object.
  explicit IsapiContext(HTTP_FILTER_CONTEXT* context) : context_(context) {}

  int GetServerVariable(const char* name, char* buffer, uint32_t size) override;
  void* AllocMem(uint32_t size) override;

 private:
  HTTP_FILTER_CONTEXT* context_;
};

}  // namespace mervane

#endif  // MERVANE_FILTER_ISAPI_CONTEXT_H_
