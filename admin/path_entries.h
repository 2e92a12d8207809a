// The lists of URL subdir -> physical path entries: the common mapping paths
// of an IP's schemes and the folder exceptions of a virtual host. Both show
// the same forms and are edited by the same Add, Remove and Edit steps; only
// their forms' targets and hidden fields and their outcome texts differ.

#ifndef MERVANE_ADMIN_PATH_ENTRIES_H_
#define MERVANE_ADMIN_PATH_ENTRIES_H_

#include <initializer_list>

#include "admin/html_writer.h"
#include "admin/section_lookup.h"
#include "cgi/cgi_variable.h"
#include "config/config_section.h"

namespace mervane {

class AdminApp;

// A hidden form field that carries a value on to the action.
struct HiddenValue {
  const char* name;
  const char* value;
};

// Writes a form for each entry of `entries` (its URL subdir read-only, its
// path editable, Edit and Remove buttons), then the form that adds an entry.
// Every form posts to target and carries the hidden values.
void WritePathEntryForms(HtmlWriter& html, ConfigSection* entries,
                         const ActionTarget& target,
                         std::initializer_list<HiddenValue> hidden);

// The outcome texts of one kind of list.
struct PathEntryTexts {
  const char* exists;  // Add: an entry of that name is there
  const char* added;
  const char* remove_missing;  // Remove: no entry of that name
  const char* removed;
  const char* edit_missing;  // Edit: no entry of that name
  const char* changed;
};

// Runs the button the POST variables name ("Add", then "Remove", then
// "Edit": the first not empty decides) on the entry "URLsub" of list, with
// the path "mapPath". Saves through app when the tree changed or no button
// was pressed; returns the outcome text ("" after a save without a button).
const char* EditPathEntry(AdminApp& app, const SectionLookup& list,
                          const CgiVariableSet& post,
                          const PathEntryTexts& texts);

}  // namespace mervane

#endif  // MERVANE_ADMIN_PATH_ENTRIES_H_
