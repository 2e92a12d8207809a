#include "nginx/location_root.h"

namespace mervane {
namespace nginx {

LocationRoot LocationRootOf(const std::string& mapped, const std::string& uri) {
  // A URL that names a folder gets a folder: nginx appends index names.
  std::string mapped_path = mapped;
  if (!uri.empty() && uri.back() == '/' &&
      (mapped_path.empty() || mapped_path.back() != '/')) {
    mapped_path += '/';
  }
  for (std::size_t alias = 0; alias < uri.size(); ++alias) {
    const std::size_t tail = uri.size() - alias;
    if (uri[alias] != '/' || tail > mapped_path.size()) continue;
    const std::size_t root = mapped_path.size() - tail;
    if (mapped_path.compare(root, tail, uri, alias, tail) == 0) {
      return {mapped_path.substr(0, root), alias};
    }
  }
  return {mapped_path, uri.size()};
}

}  // namespace nginx
}  // namespace mervane
