#include "admin/name_lists.h"

#include <string>

#include "admin/section_lookup.h"
#include "config/config_schema.h"
#include "config/ip_address.h"

namespace mervane {
namespace {

// Writes the list box `name` with an option for each child section of list,
// in order, up to the first slot that holds no section; the first option is
// selected. Tight options put a blank after the value's closing quote and
// two before the shown name. IP sections are shown, and sent, in the
// addresses' usual notation. Returns the number of options.
int WriteSelect(HtmlWriter& html, const char* name, const char* size,
                const char* indent, ConfigSection* list, bool tight_options,
                bool ips) {
  html.Text("\t<select name=\"").Text(name).Text("\" size=\"").Text(size);
  html.Line("\">").Text(indent);
  int count = 0;
  for (ConfigSection* item = list->GetSectionAt(1); !item->IsNull();
       item = list->GetSectionAt(count + 1)) {
    ++count;
    const std::string shown =
        ips ? AddressDisplayText(item->Name()) : item->Name();
    html.Text("<option value=\"").Value(shown.c_str());
    html.Line(tight_options ? "\" " : "\"").Text("\t\t\t\t\t");
    if (count == 1) html.Text(" selected ");
    html.Line(">").Text(tight_options ? "\t\t\t  " : "\t\t\t");
    html.Value(shown.c_str()).Text("</option>");
  }
  html.Line("\t</select>");
  return count;
}

}  // namespace

void WriteIpListForm(HtmlWriter& html, ConfigSection* root,
                     const IpListForm& form) {
  html.Line(form.heading);
  html.Text("<form method=\"POST\" action=\"").Url(form.target).Line("\">");
  html.Line("  <p>");
  int listed = WriteSelect(html, "IPList", form.size, "\t\t", root,
                           form.tight_options, true);
  html.Text("\t");
  if (listed > 0) html.Text(form.button);
  html.Line();
  html.Line("  </p>");
  html.Text("</form>");
}

void WriteHostListForm(HtmlWriter& html, ConfigSection* root, const char* ip,
                       const HostListForm& form) {
  ConfigSection* hosts =
      SectionLookup(root).Ip(ip).Child(schema::kVirtualHosts).section();
  html.Text("<p><b>Virtual hosts on IP ").Value(ip).Line(":</b></p>");
  html.Text("<form method=\"POST\" action=\"").Url(form.target).Line("\">");
  if (form.posts_ip_list) html.HiddenField("\t", "IPList", ip);
  html.Line("<p>");
  int listed = WriteSelect(html, "VHost", form.size, "\t", hosts, false, false);
  html.Text(form.before_buttons).Text("\t");
  if (listed > 0) html.Line().Text(form.buttons).Text("\t");
  html.Line();
  html.Line("</p>");
  html.Text("</from>");
}

}  // namespace mervane
