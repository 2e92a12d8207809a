#include "nginx/location_root.h"

namespace mervane {
namespace nginx {

void LocationRootOf(const std::string& mapped_path, const std::string& uri,
                    LocationRoot* location) {
  std::string& path = location->root;
  path.assign(mapped_path);
  // A URL that names a folder gets a folder: nginx appends index names.
  if (!uri.empty() && uri.back() == '/' &&
      (path.empty() || path.back() != '/')) {
    path += '/';
  }
  for (std::size_t alias = 0; alias < uri.size(); ++alias) {
    const std::size_t tail = uri.size() - alias;
    if (uri[alias] != '/' || tail > path.size()) continue;
    const std::size_t root = path.size() - tail;
    if (path.compare(root, tail, uri, alias, tail) == 0) {
      path.resize(root);
      location->alias = alias;
      return;
    }
  }
  location->alias = uri.size();
}

}  // namespace nginx
}  // namespace mervane
