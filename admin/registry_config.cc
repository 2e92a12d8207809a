// The registry configuration: the default page, which shows where the
// configuration file is found, and the action that stores a new location.
// Both work without a loaded configuration, so a fresh installation is set
// up from here.

#include "admin/admin_app.h"
#include "config/config_schema.h"
#include "config/registry_key.h"

namespace mervane {

void AdminApp::RegistryPage(const CgiVariableSet& /*post*/,
                            const CgiVariableSet& /*query*/) {
  std::unique_ptr<char[]> path = ReadConfigurationPath();
  HtmlWriter html = Html();
  html.Line("This is main administration tool for Halvost Mervane.<BR>");
  html.Line(
      "The filter uses text file for storing its configuration options.<br>");
  html.Line(
      "Location of the configuration file was specified in the Windows NT "
      "registry:<BR>");
  html.Line("\\HKEY_LOCAL_MACHINE\\Software\\Halvost soft\\Mervane<BR>");
  html.Line("string value: Configuration File<BR>");
  html.Line("Look in the product documentation for more information.");
  html.Line("You can configure these parameters here:");
  html.Text("\t<form method=\"POST\" action=\"").Url({"DoConfig"}).Line("\">");
  html.Line("\t\t<p>Configuration file:");
  html.Text("\t\t\t<input type=\"text\" name=\"Config\" size=\"40\" value=\"")
      .Value(path.get())
      .Line("\">");
  html.Line("\t\t</p>");
  html.Line("\t\t<p><input type=\"submit\" value=\"Submit\" name=\"B1\"></p>");
  html.Line("\t</form>");
}

const char* AdminApp::DoConfig(const CgiVariableSet& post,
                               const CgiVariableSet& /*query*/) {
  // The path goes into every later request's file name: what could not
  // name a file is refused before the registry is touched.
  if (!IsAcceptableConfigurationPath(Field(post, "Config"))) {
    return "A configuration file path that is empty, holds a line break or "
           "another control character, or has 260 characters or more is not "
           "accepted!";
  }
  RegistryKey key(1, RegistryKey::Root::kLocalMachine,
                  schema::kRegistryKeyPath);
  bool stored = key.IsOpen() && key.WriteString(schema::kRegistryValueName,
                                                Field(post, "Config")) != 0;
  key.Close();
  return stored ? "Configuration saved successfuly!"
                : "Can't save configuration - registry problem";
}

}  // namespace mervane
