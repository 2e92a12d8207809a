#include "admin/admin_app.h"

#include <cstring>

#include "admin/admin_messages.h"
#include "admin/name_lists.h"
#include "cgi/escaping.h"
#include "cgi/request_origin.h"
#include "config/config_file_lock.h"
#include "config/config_schema.h"
#include "config/registry_key.h"
#include "filter/index_file.h"
#include "platform/platform.h"

namespace mervane {

const ErrorRow ErrorTable[] = {
    {"No registry configuration available! Run Registry configuration from "
     "the menu.",
     1},
    {"The specifiled CFG file can't be loaded.", 2},
    {nullptr, 0},
};

// Every page and form action by the name the query variable "Action" gives
// it, compared exactly. Only the registry page and its action work without
// a loaded configuration.
const AdminApp::Handler AdminApp::kHandlers[] = {
    {"DoConfig", nullptr, &AdminApp::DoConfig, false},
    {"IPList", &AdminApp::IpListPage, nullptr, true},
    {"General", &AdminApp::GeneralPage, nullptr, true},
    {"DoGeneral", nullptr, &AdminApp::DoGeneral, true},
    {"CommonPaths", &AdminApp::CommonPathsPage, nullptr, true},
    {"DoCommonPaths", nullptr, &AdminApp::DoCommonPaths, true},
    {"AddIP", &AdminApp::AddIpPage, nullptr, true},
    {"DoAddIP", nullptr, &AdminApp::DoAddIp, true},
    {"ListIPs", &AdminApp::ListIpsPage, nullptr, true},
    {"DoRemoveIP", nullptr, &AdminApp::DoRemoveIp, true},
    {"NewMapping", &AdminApp::NewMappingPage, nullptr, true},
    {"EditVHost", &AdminApp::EditVHostPage, nullptr, true},
    {"DoEditVHost", nullptr, &AdminApp::DoEditVHost, true},
    {"Mappings", &AdminApp::MappingsPage, nullptr, true},
    {"DoEditRemoveMapping", nullptr, &AdminApp::DoEditRemoveMapping, true},
    {"FolderExceptions", &AdminApp::FolderExceptionsPage, nullptr, true},
    {"DoFolderExceptions", nullptr, &AdminApp::DoFolderExceptions, true},
};

// Any other name, the empty one included, runs the registry page.
const AdminApp::Handler AdminApp::kDefaultPage = {"", &AdminApp::RegistryPage,
                                                  nullptr, false};

namespace {

// One entry of the menu: where it leads and the text that closes its row.
struct MenuRow {
  ActionTarget target;
  const char* closing;
};

const MenuRow kMenu[] = {
    {{""}, "\">Registry configuration</a> </td></TR>"},
    {{"IPList", "PostAction", "General"}, "\">General options</a></td></TR>"},
    {{"IPList", "PostAction", "CommonPaths"},
     "\">Common mapping paths</a></td></TR>"},
    {{"AddIP"}, "\">Add real site IP</a></td></TR>"},
    {{"ListIPs"}, "\">List IPs</a></td></TR>"},
    {{"IPList", "PostAction", "NewMapping"}, "\">New mapping</a></td></TR>"},
    {{"IPList", "PostAction", "FolderExceptions"},
     "\">Folder exceptions</a></td></TR>"},
    {{"IPList", "PostAction", "Mappings"}, "\">List mappings</a></td></TR>"},
};

}  // namespace

AdminApp::AdminApp() {
  std::unique_ptr<char[]> path = ReadConfigurationPath();
  if (path == nullptr) {
    init_error_ = 1;
    return;
  }
  config_root_ = std::make_unique<ConfigFile>(path.get());
}

AdminApp::~AdminApp() = default;

void AdminApp::LoadConfiguration() {
  if (config_root_ == nullptr) return;
  if (!config_root_->Load() && !CreateMissingFile()) {
    init_error_ = 2;
    return;
  }
  loaded_ = true;
}

bool AdminApp::CreateMissingFile() {
  // Only a missing file is created: one that exists but cannot be read
  // (locked, no permission, nested too deep) must not be replaced by an
  // empty one. Under the lock, so that the new file cannot replace one
  // that another request is saving.
  if (lock_ == nullptr) {
    lock_ = std::make_unique<ConfigFileLock>(config_root_->Name());
  }
  std::string problem;
  return lock_->Held() && !ConfigFileExists() && WriteFile(&problem);
}

bool AdminApp::ConfigFileExists() const {
  bool is_directory = false;
  return platform::FindFileEntry(config_root_->Name(), &is_directory);
}

const AdminApp::Handler& AdminApp::FindHandler(const char* action) {
  for (const Handler& handler : kHandlers) {
    // Letter case counts here, unlike in variable names.
    if (std::strcmp(handler.name, action) == 0) return handler;
  }
  return kDefaultPage;
}

void AdminApp::HandleAction(const char* action, const CgiVariableSet& post,
                            const CgiVariableSet& query,
                            const CgiVariableSet& /*cookies*/) {
  const Handler& handler = FindHandler(action);
  // Only this program's own forms change anything: a link or an image on
  // another site would otherwise act in the administrator's name.
  const bool allowed = handler.action == nullptr ||
                       MayChangeState(RequestSourceFromEnvironment());
  // A change works on the file as it is once no other request is between
  // its load and its save: its lock is held from before the one load of
  // the request to the end of the process.
  if (allowed && handler.action != nullptr && handler.needs_configuration &&
      config_root_ != nullptr) {
    lock_ = std::make_unique<ConfigFileLock>(config_root_->Name());
  }
  LoadConfiguration();
  // The default page is the registry page the error text sends the user to,
  // so it alone comes without the error text.
  if (!loaded_ && &handler != &kDefaultPage) PrintErrorPage(init_error_);
  const bool runs = loaded_ || !handler.needs_configuration;
  if (handler.action != nullptr) {
    message_ = ActionOutcome(handler, allowed, runs, post, query);
  } else if (runs) {
    (this->*handler.page)(post, query);
  }
  PrintMessage();
}

std::string AdminApp::ActionOutcome(const Handler& handler, bool allowed,
                                    bool runs, const CgiVariableSet& post,
                                    const CgiVariableSet& query) {
  if (!allowed) return messages::kChangeRefused;
  if (!runs) return messages::kInitFailure;
  if (lock_ != nullptr && !lock_->Held()) return Failed(lock_->Failure());
  return (this->*handler.action)(post, query);
}

void AdminApp::BeginPage(const CgiVariableSet& /*post*/,
                         const CgiVariableSet& /*query*/,
                         const CgiVariableSet& /*cookies*/) {
  HtmlWriter html = Html();
  html.Line("<html>");
  html.Line("<head>");
  html.Line("<title>Halvost Mervane filter</title>");
  html.Line("</head>");
  html.Line("<body>");
  html.Line(
      "<TABLE width=\"100%\" border=\"0\" bgcolor=\"#000020\"\" "
      "cellspacing=\"2\" cellpadding=\"2\"><TR><TD bgcolor=\"#000080\" "
      "colspan=\"2\">");
  html.Line(
      "<p><font color=\"#FFFFFF\"><b><i>Halvost Mervane filter</i></b></font>"
      "</p>");
  html.Line("</TD>");
  html.Line("</TR><TR>");
  html.Line("<TD valign=\"top\" width=\"250\" bgcolor=\"#000020\">");
  html.Line("<TABLE border=\"0\" width=\"100%\">");
  html.Line("<tr><td bgcolor=\"#F0F0F0\" nowrap> <b>Menu</b><BR> </td></TR>");
  for (const MenuRow& row : kMenu) {
    html.Text("<tr><td bgcolor=\"#F0F0F0\" nowrap> <a href=\"");
    html.Url(row.target).Line(row.closing);
  }
  html.Line("</TABLE>");
  html.Line("</TD>");
  html.Line("<TD valign=\"top\" bgcolor=\"#FFFFFF\">");
}

void AdminApp::EndPage(const CgiVariableSet& /*post*/,
                       const CgiVariableSet& /*query*/,
                       const CgiVariableSet& /*cookies*/) {
  HtmlWriter html = Html();
  html.Line("</TD>");
  html.Line("</TR><TR><TD bgcolor=\"#F0F0FF\" align=\"center\" colspan=\"2\">");
  html.Line(
      "<i>Mervane is made by <a href=\"http://www.halvost.com/\">Halvost "
      "soft</a></i>");
  html.Line("</TD>");
  html.Line("</TR></TABLE>");
  html.Line("</body>");
  html.Line("</html>");
}

void AdminApp::PrintMessage() {
  if (loaded_) std::fprintf(out(), "%s", message_.c_str());
}

bool AdminApp::WriteFile(std::string* problem) {
  // The index of the new text goes in place first: a server never maps one
  // that does not belong to the text on disk.
  return config_root_->Save(problem, IndexWritingSteps(config_root_->Name())) !=
         0;
}

const char* AdminApp::Saved(const char* outcome) {
  std::string problem;
  if (!WriteFile(&problem)) return Failed(problem);
  if (problem.empty()) return outcome;
  return WithProblem(std::string(outcome) + " " + messages::kSavedNotFlushed,
                     problem);
}

const char* AdminApp::Failed(const std::string& problem) {
  return WithProblem(messages::kSaveFailed, problem);
}

const char* AdminApp::WithProblem(const std::string& text,
                                  const std::string& problem) {
  failure_ = text + " " + HtmlEscaped(problem.c_str()) + ".";
  return failure_.c_str();
}

void AdminApp::IpListPage(const CgiVariableSet& /*post*/,
                          const CgiVariableSet& query) {
  HtmlWriter html = Html();
  WriteIpListForm(html, ConfigRoot(),
                  {"<p><b>Select IP for the operation:</b></p>",
                   {Field(query, "PostAction")},
                   "1",
                   true,
                   "<input type=\"submit\" value=\">>\" name=\"B1\">"});
}

}  // namespace mervane
