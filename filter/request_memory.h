// RequestMemory: memory that the server owns and keeps until it has finished
// the request. The mapping needs it for a physical path longer than the
// server's own path buffer, which it may not resize or free. Behind the
// exports it is the filter context's AllocMem callback.

#ifndef MERVANE_FILTER_REQUEST_MEMORY_H_
#define MERVANE_FILTER_REQUEST_MEMORY_H_

#include <cstdint>

namespace mervane {

class RequestMemory {
 public:
  virtual ~RequestMemory() = default;

  // Returns size bytes that stay valid until the server has finished the
  // request, or null when none can be had. The caller never frees them.
  virtual void* AllocMem(uint32_t size) = 0;
};

}  // namespace mervane

#endif  // MERVANE_FILTER_REQUEST_MEMORY_H_
