// A DLL for platform_tests: loads its own string resources through the
// layer, as the filter does inside the web server's process.

#include "platform/platform.h"

extern "C" __declspec(dllexport) int LoadModuleString(unsigned id, char* buffer,
                                                      int size) {
  return mervane::platform::LoadStringResource(id, buffer, size);
}
