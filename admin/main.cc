// mervanecfg: the CGI program that administers the configuration file. The
// web server starts it once per request.

#include "admin/admin_app.h"
#include "cgi/cgi_app.h"

namespace mervane {
namespace {

// The one application object, constructed during static initialisation:
// it has loaded the configuration before main runs.
AdminApp the_app;

}  // namespace
}  // namespace mervane

int main(int argc, char** argv, char** envp) {
  return mervane::CgiMain(argc, argv, envp);
}
