// The virtual hosts of a real site IP: the page that names a new host, the
// options page of one host, the list of hosts, and the actions that save a
// host's options (creating or renaming it) and that edit or remove the host
// chosen in the list.

#include <cstring>

#include "admin/admin_app.h"
#include "admin/admin_messages.h"
#include "admin/name_lists.h"
#include "admin/section_lookup.h"
#include "config/config_schema.h"
#include "config/host_pattern.h"
#include "config/storable_text.h"

namespace mervane {
namespace {

// The scheme text of host, or null when it has no "MapScheme" array or the
// array holds no text.
const char* StoredScheme(ConfigSection* host) {
  return host->GetArray(schema::kMapScheme)->FirstString();
}

bool IsScheme(const char* text, const char* scheme) {
  return text != nullptr && std::strcmp(text, scheme) == 0;
}

// Why a new or renamed host may not take name; null when it may. A '*'
// elsewhere than in "*" or "*.example.com" would name an entry that the
// filter never matches.
const char* NameRefusal(const char* name) {
  if (!IsStorableSectionName(name)) return messages::kUnstorableHostName;
  if (HostPatternOf(name) == HostPattern::kInvalid) {
    return "A virtual host name with a '*' other than the whole name ('*') "
           "or its first label ('*.example.com') is not accepted!";
  }
  return nullptr;
}

// Why a host of hosts may not be renamed to new_name; null when it may.
const char* RenameRefusal(ConfigSection* hosts, const char* new_name) {
  if (*new_name == '\0') return messages::kEmptyHostName;
  if (const char* refusal = NameRefusal(new_name)) return refusal;
  // Also the host itself when only the letter case differs.
  if (!hosts->GetSection(new_name)->IsNull()) {
    return "Virtual host with the same name already exists!";
  }
  if (hosts->IndexOf(new_name) != 0) return messages::kNameTaken;
  return nullptr;
}

// The host section that saving the options writes into: the existing host
// of that name (renamed to new_name when that differs exactly), or a new
// one. Null with *refusal set when the request is refused.
ConfigSection* HostToSave(ConfigSection* hosts, const char* name,
                          const char* new_name, const char** refusal) {
  ConfigSection* host = hosts->GetSection(name);
  if (host->IsNull()) {
    // A new host: the name field was read-only, so new_name is not read.
    *refusal = NameRefusal(name);
    if (*refusal != nullptr) return nullptr;
    host = hosts->AddSection(name);
    if (host == nullptr) *refusal = messages::kNameTaken;
    return host;
  }
  if (std::strcmp(name, new_name) == 0) return host;
  *refusal = RenameRefusal(hosts, new_name);
  if (*refusal != nullptr) return nullptr;
  host->SetName(new_name);  // keeps its place and its children
  return host;
}

}  // namespace

void AdminApp::NewMappingPage(const CgiVariableSet& post,
                              const CgiVariableSet& /*query*/) {
  const std::string shown_ip = IpField(post, "IPList");
  const char* ip = shown_ip.c_str();
  HtmlWriter html = Html();
  html.Text("<p><b>New virtual host on IP ").Value(ip).Line(":</b></p>");
  html.Text("<form method=\"POST\" action=\"")
      .Url({"EditVHost", "IP", ip})
      .Line("\">");
  html.Line("  <p>Virtual host name:");
  html.Line("\t<input type=\"text\" size=\"14\" name=\"VHost\">&nbsp;");
  html.Line("\t<input type=\"submit\" value=\">>\" name=\"NewMapping\">");
  html.Line("  </p>");
  html.Text("</form>");
}

void AdminApp::EditVHostPage(const CgiVariableSet& post,
                             const CgiVariableSet& query) {
  const char* host = Field(post, "VHost");
  const std::string shown_ip = IpField(query, "IP");
  const char* ip = shown_ip.c_str();
  ConfigSection* node = SectionLookup(ConfigRoot())
                            .Ip(ip)
                            .Child(schema::kVirtualHosts)
                            .Host(host)
                            .section();
  bool has_scheme = !node->GetArray(schema::kMapScheme)->IsNull();

  HtmlWriter html = Html();
  html.Text("<p><b>Options for virtual host ")
      .Value(host)
      .Text(" on IP ")
      .Value(ip)
      .Line(":</b></p>");
  html.Text("<form method=\"POST\" action=\"").Url({"DoEditVHost"}).Line("\">");
  html.HiddenField("  ", "IP", ip);
  html.HiddenField("  ", "VHost", host);
  html.Line("  <p>Virtual host name:");
  html.Text("\t<input type=\"text\" name=\"NewVHost\" value=\"")
      .Value(host)
      .Line("\"");
  html.Text("\t");
  // After the NewMapping page the name is fixed; after the host list's
  // Edit button it may be changed, which renames the host.
  if (*Field(post, "NewMapping") != '\0') html.Text(" readonly ");
  html.Line(">");
  html.Line(
      "\t&nbsp;<i>(You can specify the port on which the site is by typing "
      "'|' and the port number without any spaces. ");
  html.Line(
      "\tExample: www.example.com|8080. If the port is the default 80 you "
      "shouldn't specify it)</i>");
  html.Line("  </p>");
  html.Line("  <p>Map to directory:");
  html.Text("\t<input type=\"text\" size=\"14\" name=\"UserDir\" value=\"")
      .Value(node->GetArray(schema::kUserDir)->FirstString())
      .Line("\">");
  html.Line("\t&nbsp;<i>(dir name not path to dir!)</i>");
  html.Line("  </p>");
  html.Line("  <p>Mapping scheme:&nbsp;");
  html.Line("\t<input type=\"radio\" name=\"Scheme\" value=\"SchemeA\"");
  html.Text("\t");
  if (!has_scheme || IsScheme(StoredScheme(node), schema::kSchemeA)) {
    html.Text("checked");
  }
  html.Line(">A&nbsp;");
  html.Line("\t<input type=\"radio\" name=\"Scheme\" value=\"SchemeB\"");
  html.Text("\t ");
  if (IsScheme(StoredScheme(node), schema::kSchemeB)) html.Text("checked");
  html.Line(">B");
  html.Line("  </p>");
  html.Line("  <input type=\"submit\" value=\"Submit\" name=\"B1\">");
  html.Text("</form>");
}

void AdminApp::MappingsPage(const CgiVariableSet& post,
                            const CgiVariableSet& /*query*/) {
  const std::string shown_ip = IpField(post, "IPList");
  const char* ip = shown_ip.c_str();
  HtmlWriter html = Html();
  WriteHostListForm(
      html, ConfigRoot(), ip,
      {{"DoEditRemoveMapping", "IP", ip},
       false,
       "8",
       "</p>\n<p>\n",
       "\t<input type=\"submit\" name=\"Edit\" value=\"Edit\">\n"
       "\t<input type=\"submit\" name=\"Remove\" value=\"Remove\">\n"});
}

const char* AdminApp::DoEditVHost(const CgiVariableSet& post,
                                  const CgiVariableSet& /*query*/) {
  const char* name = Field(post, "VHost");
  const char* user_dir = Field(post, "UserDir");
  const char* scheme = Field(post, "Scheme");
  if (*name == '\0') return messages::kEmptyHostName;
  if (*user_dir == '\0') return "You should specify user directory!";
  if (!IsStorableString(user_dir) || !IsStorableString(scheme)) {
    return messages::kUnstorableText;
  }
  SectionLookup hosts = SectionLookup(ConfigRoot())
                            .Ip(Field(post, "IP"))
                            .Child(schema::kVirtualHosts);
  if (hosts.missing() != nullptr) return hosts.missing();

  const char* refusal = nullptr;
  ConfigSection* host =
      HostToSave(hosts.section(), name, Field(post, "NewVHost"), &refusal);
  if (host == nullptr) return refusal;
  ConfigArray* dir = host->AddArray(schema::kUserDir);
  ConfigArray* map_scheme = host->AddArray(schema::kMapScheme);
  if (dir == nullptr || map_scheme == nullptr) return messages::kNameTaken;
  dir->SetFirstString(user_dir);
  // Stored as sent: the empty text when no scheme was chosen.
  map_scheme->SetFirstString(scheme);
  if (host->GetSection(schema::kFolderExceptions)->IsNull() &&
      host->AddSection(schema::kFolderExceptions) == nullptr) {
    return messages::kNameTaken;
  }
  return Saved("Virtual host options saved!");
}

const char* AdminApp::DoEditRemoveMapping(const CgiVariableSet& post,
                                          const CgiVariableSet& query) {
  const char* name = Field(post, "VHost");
  if (*name == '\0') return "";
  if (*Field(post, "Remove") == '\0') {
    EditVHostPage(post, query);
    return "";
  }
  SectionLookup hosts = SectionLookup(ConfigRoot())
                            .Ip(Field(query, "IP"))
                            .Child(schema::kVirtualHosts);
  if (hosts.missing() != nullptr) return hosts.missing();
  // A host that is not there is gone already; only sections are hosts.
  if (!hosts.section()->GetSection(name)->IsNull()) {
    hosts.section()->RemoveByName(name);
  }
  return Saved("Virtual host successfuly removed!");
}

}  // namespace mervane
