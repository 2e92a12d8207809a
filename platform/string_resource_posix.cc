// String resources on POSIX: the module's kStringTable. Kept apart from the
// rest of the layer so that only modules that load strings define the table.

#include <algorithm>
#include <cstring>

#include "platform/platform.h"

namespace mervane {
namespace platform {

int LoadStringResource(unsigned id, char* buffer, int size) {
  if (buffer == nullptr || size <= 0) return 0;
  for (const StringTableEntry* entry = kStringTable; entry->text != nullptr;
       ++entry) {
    if (entry->id != id) continue;
    const size_t length =
        std::min(std::strlen(entry->text), static_cast<size_t>(size - 1));
    std::memcpy(buffer, entry->text, length);
    buffer[length] = '\0';
    return static_cast<int>(length);
  }
  buffer[0] = '\0';
  return 0;
}

}  // namespace platform
}  // namespace mervane
