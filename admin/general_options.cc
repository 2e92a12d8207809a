// The general options of a real site IP: the page that shows "Disable",
// "Log", "SchemeBRootDir" and "WebRoot" of its "MAIN" section, and the
// action that saves them.

#include "admin/admin_app.h"
#include "admin/admin_messages.h"
#include "admin/section_lookup.h"
#include "config/config_schema.h"
#include "config/storable_text.h"

namespace mervane {

void AdminApp::GeneralPage(const CgiVariableSet& post,
                           const CgiVariableSet& /*query*/) {
  const std::string shown_ip = IpField(post, "IPList");
  const char* ip = shown_ip.c_str();
  ConfigSection* main =
      SectionLookup(ConfigRoot()).Ip(ip).Child(schema::kMain).section();

  HtmlWriter html = Html();
  html.Text("<p><b>General options for IP: ").Value(ip).Line(":</b></p>");
  html.Text("<form method=\"POST\" action=\"").Url({"DoGeneral"}).Line("\">");
  html.Line("  <p>");
  html.HiddenField("\t\t", "IP", ip);
  html.Text("\t");
  if (main->GetArray(schema::kDisable)->FirstInt() != 0) {
    html.Text(
        "\t\t<input type=\"checkbox\" name=\"Disable\" value=\"ON\" checked>");
  } else {
    html.Line().Text(
        "\t\t<input type=\"checkbox\" name=\"Disable\" value=\"ON\">");
  }
  html.Text("\t").Line();
  html.Line("\tDisable filter");
  html.Line("  </p>");
  html.Line("  <p>Log file: ");
  html.Line("\t<input type=\"text\" name=\"LogFile\" size=\"47\"");
  html.Text("\t\tvalue=\"")
      .Value(main->GetArray(schema::kLog)->FirstString())
      .Line("\">");
  html.Line("  </p><br><br>");
  html.Line("  <p>Users web root directory name:");
  html.Line("\t<input type=\"text\" name=\"SchemeBRootDir\" size=\"27\" ");
  html.Text("\tvalue=\"")
      .Value(main->GetArray(schema::kSchemeBRootDir)->FirstString())
      .Line("\">");
  html.Line("\t\t&nbsp;<i>(Applies only to mappings that use SchemeB)</i>");
  html.Line("  </p>");
  html.Line("  <p>Base web root directory (full path):");
  html.Line("\t<input type=\"text\" name=\"WebRoot\" size=\"27\"");
  html.Text("\tvalue=\"")
      .Value(main->GetArray(schema::kWebRoot)->FirstString())
      .Line("\">");
  html.Line(
      "\t<i>(If left empty filter uses the IIS site root directory for "
      "base)</i>");
  html.Line("  </p>");
  html.Line("  <p><input type=\"submit\" value=\"Submit\" name=\"B1\"></p>");
  html.Text("</form>");
}

const char* AdminApp::DoGeneral(const CgiVariableSet& post,
                                const CgiVariableSet& /*query*/) {
  const char* log = Field(post, "LogFile");
  const char* users_root = Field(post, "SchemeBRootDir");
  const char* web_root = Field(post, "WebRoot");
  if (!IsStorableString(log) || !IsStorableString(users_root) ||
      !IsStorableString(web_root)) {
    return messages::kUnstorableText;
  }
  SectionLookup main =
      SectionLookup(ConfigRoot()).Ip(Field(post, "IP")).Child(schema::kMain);
  if (main.missing() != nullptr) return main.missing();

  // Created in this order when missing; a name held by a section refuses
  // the whole request, which is then not saved.
  ConfigArray* disable = main.section()->AddArray(schema::kDisable);
  ConfigArray* log_file = main.section()->AddArray(schema::kLog);
  ConfigArray* users = main.section()->AddArray(schema::kSchemeBRootDir);
  ConfigArray* base = main.section()->AddArray(schema::kWebRoot);
  if (!disable || !log_file || !users || !base) return messages::kNameTaken;

  disable->SetFirstInt(CompareNamesIgnoringCase(Field(post, "Disable"), "ON") ==
                       0);
  log_file->SetFirstString(log);
  users->SetFirstString(users_root);
  base->SetFirstString(web_root);
  return Saved("CFG file saved!");
}

}  // namespace mervane
