// The one way files are replaced on POSIX systems, shared by the public
// ReplaceFileDurably and the registry's value files. Private to the layer.

#ifndef MERVANE_PLATFORM_DURABLE_FILE_POSIX_H_
#define MERVANE_PLATFORM_DURABLE_FILE_POSIX_H_

#include <string>

#include "platform/platform.h"

namespace mervane {
namespace platform {

// Which file a replacement stopped at.
enum class ReplaceStep { kTemp, kTarget, kFolder };

// ReplaceFileDurably on paths already in native form, with the bytes stored
// exactly. On kFailed and kNotFlushed *step tells which file the error
// (errno) concerns; a refusal of before_rename is kFailed at kTemp with
// its problem in *problem.
Replacement ReplaceNativeFile(const std::string& temp_path,
                              const std::string& target,
                              const std::string& data, ReplaceStep* step,
                              const ReplaceSteps& steps = {},
                              std::string* problem = nullptr);

}  // namespace platform
}  // namespace mervane

#endif  // MERVANE_PLATFORM_DURABLE_FILE_POSIX_H_
