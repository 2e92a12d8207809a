// The physical path that IIS would hand the filter for a request, built from
// the server's document root and the request's decoded URI, and the checks that
// keep a mapped path inside the folders the configuration names.
//
// Thread safety: plain functions of their arguments.

#ifndef MERVANE_HOST_SERVER_PATH_H_
#define MERVANE_HOST_SERVER_PATH_H_

#include <string>
#include <string_view>

namespace mervane {
namespace host {

// Writes DocumentRoot + decoded_uri with every '/' turned into '\' into
// *path, which keeps its memory: a server maps request after request. The
// filter finds the site root by cutting the URI's own text off this path,
// so the URI is appended exactly as decoded ("/" gives a final '\').
//
// When document_root lies in a drive folder of drives_dir (drives_dir/x or
// below it), the path is given in drive form, "x:\..." , so that
// configurations written for Windows map the same way; otherwise it is the
// native path with backslashes. An empty drives_dir means no drives.
void ServerPath(std::string_view document_root, std::string_view decoded_uri,
                std::string_view drives_dir, std::string* path);

// True when a decoded URI holds a backslash. Such a URI is refused before
// the filter sees it: once the mapped path is made native, "..\" would
// become "../" and climb out of the host's folder.
bool HoldsBackslash(const std::string& decoded_uri);

// True when a native path holds a ".." segment.
bool HoldsParentSegment(const std::string& native_path);

}  // namespace host
}  // namespace mervane

#endif  // MERVANE_HOST_SERVER_PATH_H_
