// The list boxes of the administration pages: the two lists of real site IPs
// (the IP-selection page and the list with its Remove button) and the two
// lists of the virtual hosts of an IP (the host selection of the folder
// exceptions page and the list with its Edit and Remove buttons). Each pair
// differs only in the texts given here; everything else is written once.

#ifndef MERVANE_ADMIN_NAME_LISTS_H_
#define MERVANE_ADMIN_NAME_LISTS_H_

#include "admin/html_writer.h"
#include "config/config_section.h"

namespace mervane {

// The texts that tell one IP list form from the other.
struct IpListForm {
  const char* heading;  // the first line, without its line feed
  ActionTarget target;  // where the form posts
  const char* size;     // rows of the list box
  bool tight_options;   // options as the IP-selection page writes them
  const char* button;   // written only when an IP is listed
};

// Writes the form listing every IP of root, the first one selected.
void WriteIpListForm(HtmlWriter& html, ConfigSection* root,
                     const IpListForm& form);

// The texts that tell one host list form from the other.
struct HostListForm {
  ActionTarget target;         // where the form posts
  bool posts_ip_list;          // carries the IP on as the field "IPList"
  const char* size;            // rows of the list box
  const char* before_buttons;  // written after the list box
  const char* buttons;         // written only when a host is listed
};

// Writes the form listing the virtual hosts of ip (in the notation pages
// show), the first one selected.
void WriteHostListForm(HtmlWriter& html, ConfigSection* root, const char* ip,
                       const HostListForm& form);

}  // namespace mervane

#endif  // MERVANE_ADMIN_NAME_LISTS_H_
