// ServerVariableSource: how the mapping reads the server variables of the
// request it maps. Behind the exports it is the filter context's
// GetServerVariable callback; tests answer with fixed texts.

#ifndef MERVANE_FILTER_SERVER_VARIABLE_SOURCE_H_
#define MERVANE_FILTER_SERVER_VARIABLE_SOURCE_H_

#include <cstdint>

namespace mervane {

class ServerVariableSource {
 public:
  virtual ~ServerVariableSource() = default;

  // Copies the variable `name` and its terminating zero into buffer, which
  // holds size bytes. Returns nonzero on success; 0 when the server does not
  // supply the variable or it does not fit.
  virtual int GetServerVariable(const char* name, char* buffer,
                                uint32_t size) = 0;
};

}  // namespace mervane

#endif  // MERVANE_FILTER_SERVER_VARIABLE_SOURCE_H_
