#include "admin/path_entries.h"

#include <cstring>

#include "admin/admin_app.h"
#include "admin/admin_messages.h"
#include "config/storable_text.h"

namespace mervane {
namespace {

void WriteHiddenValues(HtmlWriter& html, const char* indent,
                       std::initializer_list<HiddenValue> hidden) {
  for (const HiddenValue& field : hidden) {
    html.HiddenField(indent, field.name, field.value);
  }
}

const char* AddEntry(AdminApp& app, const SectionLookup& list,
                     const char* url_subdir, const char* path,
                     const PathEntryTexts& texts) {
  if (*path == '\0' || *url_subdir == '\0') {
    return messages::kEmptyUrlSubdirOrPath;
  }
  // A leading blank or a CR survives the file but would never match a URL.
  if (!IsStorableArrayName(url_subdir) || *url_subdir == ' ' ||
      *url_subdir == '\t' || std::strchr(url_subdir, '\r') != nullptr) {
    return messages::kUnstorableUrlSubdir;
  }
  if (!IsStorableString(path)) return messages::kUnstorableText;
  if (list.missing() != nullptr) return list.missing();
  if (!list.section()->GetArray(url_subdir)->IsNull()) return texts.exists;
  ConfigArray* entry = list.section()->AddArray(url_subdir);
  if (entry == nullptr) return messages::kNameTaken;
  entry->SetFirstString(path);
  return app.Saved(texts.added);
}

const char* RemoveEntry(AdminApp& app, const SectionLookup& list,
                        const char* url_subdir, const PathEntryTexts& texts) {
  if (list.section()->GetArray(url_subdir)->IsNull()) {
    return texts.remove_missing;
  }
  list.section()->RemoveByName(url_subdir);
  return app.Saved(texts.removed);
}

const char* ChangeEntry(AdminApp& app, const SectionLookup& list,
                        const char* url_subdir, const char* path,
                        const PathEntryTexts& texts) {
  ConfigArray* entry = list.section()->GetArray(url_subdir);
  if (entry->IsNull()) return texts.edit_missing;
  if (*path == '\0') return messages::kEmptyPath;
  if (!IsStorableString(path)) return messages::kUnstorableText;
  entry->SetFirstString(path);
  return app.Saved(texts.changed);
}

}  // namespace

void WritePathEntryForms(HtmlWriter& html, ConfigSection* entries,
                         const ActionTarget& target,
                         std::initializer_list<HiddenValue> hidden) {
  for (int i = 1; i <= entries->Count(); ++i) {
    ConfigArray* entry = entries->GetArrayAt(i);
    html.Text("\t  <form method=\"POST\" action=\"").Url(target).Line("\">");
    WriteHiddenValues(html, "\t\t", hidden);
    html.Text("\t\t<input type=\"text\" name=\"URLsub\" size=\"14\" value=\"")
        .Value(entry->Name())
        .Line("\" readonly>&nbsp;->&nbsp;");
    html.Text("\t\t<input type=\"text\" name=\"mapPath\" size=\"14\" value=\"")
        .Value(entry->FirstString())
        .Line("\">");
    html.Line(
        "\t\t<input type=\"submit\" name=\"Edit\" value=\"Edit\">"
        "<input type=\"submit\" name=\"Remove\" value=\"Remove\">");
    html.Line("\t  </form>");
  }
  html.Text("\t<form method=\"POST\" action=\"").Url(target).Line("\">");
  WriteHiddenValues(html, "\t  ", hidden);
  html.Line(
      "\t  <input type=\"text\" name=\"URLsub\" size=\"14\" "
      "value=\"\">&nbsp;->&nbsp;");
  html.Line(
      "\t  <input type=\"text\" name=\"mapPath\" size=\"14\" value=\"\">");
  html.Line("\t  <input type=\"submit\" name=\"Add\" value=\"Add\">");
  html.Line("\t</form>");
}

const char* EditPathEntry(AdminApp& app, const SectionLookup& list,
                          const CgiVariableSet& post,
                          const PathEntryTexts& texts) {
  const char* url_subdir = Field(post, "URLsub");
  const char* path = Field(post, "mapPath");
  if (*Field(post, "Add") != '\0') {
    return AddEntry(app, list, url_subdir, path, texts);
  }
  if (*Field(post, "Remove") != '\0') {
    return RemoveEntry(app, list, url_subdir, texts);
  }
  if (*Field(post, "Edit") != '\0') {
    return ChangeEntry(app, list, url_subdir, path, texts);
  }
  return app.Saved("");
}

}  // namespace mervane
