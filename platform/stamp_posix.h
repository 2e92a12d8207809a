// The stamp of a file from its stat, shared by the layer's POSIX files.
// Private to the layer.

#ifndef MERVANE_PLATFORM_STAMP_POSIX_H_
#define MERVANE_PLATFORM_STAMP_POSIX_H_

#include <sys/stat.h>

#include "platform/platform.h"

namespace mervane {
namespace platform {

FileStamp StampOf(const struct stat& st);

}  // namespace platform
}  // namespace mervane

#endif  // MERVANE_PLATFORM_STAMP_POSIX_H_
