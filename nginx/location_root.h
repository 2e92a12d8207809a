// How nginx must be told a mapped path: nginx never takes a request's file
// name, it recomputes it from the location's root for every consumer
// (static files, index, try_files, $request_filename) as
//
//   root + uri[alias:]
//
// so a mapped path is given as a folder and the number of leading URL bytes
// that folder replaces: 0 for a plain host ("/a/b.htm" under its folder),
// the prefix's length for a folder exception, a common path or SchemeB's
// first segment ("/docs" replaced by the exception's folder).
//
// Thread safety: plain functions of their arguments.

#ifndef MERVANE_NGINX_LOCATION_ROOT_H_
#define MERVANE_NGINX_LOCATION_ROOT_H_

#include <cstddef>
#include <string>

namespace mervane {
namespace nginx {

struct LocationRoot {
  std::string root;  // without the URL's remaining bytes
  std::size_t alias = 0;
};

// Sets *location to the root and alias that give mapped_path for uri: the
// longest tail of uri that mapped_path ends with and that starts a segment
// (at a '/') stays the URL's, so that names nginx appends (index files,
// try_files' "$uri/") land in the mapped folder. A path that ends with no
// such tail is taken whole, the URL replaced entirely. A URL ending in '/'
// names the mapped path as a folder, whether the filter ended it with a
// slash or not. location->root keeps its memory: the loop maps request
// after request.
void LocationRootOf(const std::string& mapped_path, const std::string& uri,
                    LocationRoot* location);

}  // namespace nginx
}  // namespace mervane

#endif  // MERVANE_NGINX_LOCATION_ROOT_H_
