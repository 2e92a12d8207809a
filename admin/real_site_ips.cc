// The real site IPs: the page with the new-IP form and its action, which
// adds an IP with its skeleton of sections, and the list of IPs with its
// action, which removes an IP that has no virtual host.

#include "admin/admin_app.h"
#include "admin/admin_messages.h"
#include "admin/name_lists.h"
#include "config/config_schema.h"
#include "config/ip_address.h"
#include "config/storable_text.h"

namespace mervane {
namespace {

// True when hosts holds a virtual host, in whichever slot.
bool HasVirtualHost(ConfigSection* hosts) {
  for (int i = 1; i <= hosts->Count(); ++i) {
    if (!hosts->GetSectionAt(i)->IsNull()) return true;
  }
  return false;
}

}  // namespace

void AdminApp::AddIpPage(const CgiVariableSet& /*post*/,
                         const CgiVariableSet& /*query*/) {
  HtmlWriter html = Html();
  html.Line("<p><b>Enter new IP:</b></p>");
  html.Text("<form method=\"POST\" action=\"").Url({"DoAddIP"}).Line("\">");
  html.Line("  <p>");
  html.Line("\t<input type=\"text\" name=\"newIP\" size=\"16\">");
  html.Line("\t<input type=\"submit\" value=\"Submit\" name=\"B1\">");
  html.Line("  </p>");
  html.Text("</form>");
}

const char* AdminApp::DoAddIp(const CgiVariableSet& post,
                              const CgiVariableSet& /*query*/) {
  const char* ip = Field(post, "newIP");
  if (*ip == '\0') return "You should specify a valid IP!";
  // Any spelling of an IPv6 address names the one section the filter finds.
  const std::string name = AddressSectionName(ip);
  if (!IsStorableSectionName(name.c_str())) return messages::kUnstorableIp;
  if (!ConfigRoot()->GetSection(name.c_str())->IsNull()) {
    return "That IP has been already registered!";
  }
  ConfigSection* section = ConfigRoot()->AddSection(name.c_str());
  if (section == nullptr) return messages::kNameTaken;
  section->AddSection(schema::kVirtualHosts);
  ConfigSection* common_paths =
      section->AddSection(schema::kMain)->AddSection(schema::kCommonPaths);
  common_paths->AddSection(schema::kSchemeA);
  common_paths->AddSection(schema::kSchemeB);
  return Saved("IP successfuly added!");
}

void AdminApp::ListIpsPage(const CgiVariableSet& /*post*/,
                           const CgiVariableSet& /*query*/) {
  HtmlWriter html = Html();
  WriteIpListForm(
      html, ConfigRoot(),
      {"<p><b>List of real site IPs processed by the filter:</b></p>",
       {"DoRemoveIP"},
       "8",
       false,
       "<input type=\"submit\" value=\"Remove\" name=\"B1\">"});
}

const char* AdminApp::DoRemoveIp(const CgiVariableSet& post,
                                 const CgiVariableSet& /*query*/) {
  const std::string ip = AddressSectionName(Field(post, "IPList"));
  ConfigSection* section = ConfigRoot()->GetSection(ip.c_str());
  if (HasVirtualHost(section->GetSection(schema::kVirtualHosts))) {
    return "There are active bindings to that IP. Please remove them to "
           "complete the operation.";
  }
  // An IP that is not there is gone already; only sections are IPs.
  if (!section->IsNull()) ConfigRoot()->RemoveByName(ip.c_str());
  return Saved("IP removed!");
}

}  // namespace mervane
