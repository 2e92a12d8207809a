// The library's string resources where there is no resource compiler; on
// Windows mervane.rc holds the same table.

#include "filter/resource_ids.h"
#include "platform/platform.h"

namespace mervane {
namespace platform {

const StringTableEntry kStringTable[] = {
    {IDS_FILTER_DESCRIPTION, "Mervane Filter"},
    {0, nullptr},
};

}  // namespace platform
}  // namespace mervane
