// The common mapping paths of a real site IP: the page with both schemes'
// lists and the action that adds, changes or removes one entry.

#include "admin/admin_app.h"
#include "admin/path_entries.h"
#include "admin/section_lookup.h"
#include "config/config_schema.h"

namespace mervane {
namespace {

const PathEntryTexts kCommonPathTexts = {
    "Common path to that URL subdir already exists!",
    "New common path added!",
    "Invalid name of URL subdir! Can't remove common path mapping.",
    "Common path removed!",
    "Invalid name of URL subdir! Can't change common path mapping.",
    "Common path mapping changed!",
};

// Writes one scheme's heading, entries and add form. letter is "A" or "B".
void WriteSchemePaths(HtmlWriter& html, ConfigSection* common_paths,
                      const char* ip, const char* scheme, const char* letter) {
  html.Text("  <p>For ").Text(scheme).Line(":<br>");
  html.Text("\t");
  WritePathEntryForms(html, common_paths->GetSection(scheme),
                      {"DoCommonPaths", "Scheme", letter}, {{"IP", ip}});
  html.Line("  </p>");
}

}  // namespace

void AdminApp::CommonPathsPage(const CgiVariableSet& post,
                               const CgiVariableSet& /*query*/) {
  const std::string shown_ip = IpField(post, "IPList");
  const char* ip = shown_ip.c_str();
  ConfigSection* common_paths = SectionLookup(ConfigRoot())
                                    .Ip(ip)
                                    .Child(schema::kMain)
                                    .Child(schema::kCommonPaths)
                                    .section();

  HtmlWriter html = Html();
  html.Text("<p><b>Common mapping paths for sites on IP: ")
      .Value(ip)
      .Line(":</b></p>");
  html.Line("<i>Syntax: URL subdir ->(maps to) Full physical path</i>");
  WriteSchemePaths(html, common_paths, ip, schema::kSchemeA, "A");
  WriteSchemePaths(html, common_paths, ip, schema::kSchemeB, "B");
}

const char* AdminApp::DoCommonPaths(const CgiVariableSet& post,
                                    const CgiVariableSet& query) {
  // Only an upper-case B selects SchemeB; anything else, SchemeA.
  const char* scheme =
      Field(query, "Scheme")[0] == 'B' ? schema::kSchemeB : schema::kSchemeA;
  SectionLookup list = SectionLookup(ConfigRoot())
                           .Ip(Field(post, "IP"))
                           .Child(schema::kMain)
                           .Child(schema::kCommonPaths)
                           .Child(scheme);
  return EditPathEntry(*this, list, post, kCommonPathTexts);
}

}  // namespace mervane
