// The folder exceptions of a virtual host: the page that first lets the
// administrator choose a host of the IP and then shows that host's
// exceptions, and the action that adds, changes or removes one exception.

#include "admin/admin_app.h"
#include "admin/name_lists.h"
#include "admin/path_entries.h"
#include "admin/section_lookup.h"
#include "config/config_schema.h"

namespace mervane {
namespace {

const PathEntryTexts kFolderExceptionTexts = {
    "Mapping exception for that URL subdir already exists!",
    "New mapping exception added!",
    "Invalid name of URL subdir! Can't remove mapping exeption.",
    "Mapping exception removed!",
    "Invalid name of URL subdir! Can't change mapping exception.",
    "Mapping exception changed!",
};

// The "FolderExceptions" section of host on ip, and what is missing.
SectionLookup FolderExceptionsOf(ConfigSection* root, const char* ip,
                                 const char* host) {
  return SectionLookup(root)
      .Ip(ip)
      .Child(schema::kVirtualHosts)
      .Host(host)
      .Child(schema::kFolderExceptions);
}

}  // namespace

void AdminApp::FolderExceptionsPage(const CgiVariableSet& post,
                                    const CgiVariableSet& /*query*/) {
  const std::string shown_ip = IpField(post, "IPList");
  const char* ip = shown_ip.c_str();
  const char* host = Field(post, "VHost");
  HtmlWriter html = Html();
  if (*host == '\0') {
    WriteHostListForm(html, ConfigRoot(), ip,
                      {{"FolderExceptions"},
                       true,
                       "1",
                       "",
                       "\t<input type=\"submit\" name=\"B1\" value=\">>\">\n"});
    return;
  }
  html.Text("<p><b>Mapping exceptions for virtual host ")
      .Value(host)
      .Text(" on IP ")
      .Value(ip)
      .Line(":</b></p>");
  html.Line("<i>Syntax: URL subdir ->(maps to) Full physical path</i>");
  html.Line("\t<p>");
  html.Text("\t");
  WritePathEntryForms(html,
                      FolderExceptionsOf(ConfigRoot(), ip, host).section(),
                      {"DoFolderExceptions"}, {{"IP", ip}, {"VHost", host}});
  html.Line("  </p>");
  html.Text("\t\t");
}

const char* AdminApp::DoFolderExceptions(const CgiVariableSet& post,
                                         const CgiVariableSet& /*query*/) {
  SectionLookup list =
      FolderExceptionsOf(ConfigRoot(), Field(post, "IP"), Field(post, "VHost"));
  return EditPathEntry(*this, list, post, kFolderExceptionTexts);
}

}  // namespace mervane
