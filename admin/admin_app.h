// AdminApp: the application object of mervanecfg, the CGI program that
// administers the configuration file through HTML forms. The one object is
// static: its constructor, run during static initialisation, finds the file
// through the registry; the request loads it once, under the writers' lock
// when the request may change it. For each request it writes the page
// frame and menu, runs the page or form action that the request's action
// name selects, shows the action's outcome message and closes the frame.
//
// The class is one concept, but its handlers are many: the sources follow
// the administration tool's parts. admin_app.cc holds the frame, the
// dispatch and the IP-selection page; registry_config.cc, general_options.cc,
// real_site_ips.cc, common_paths.cc, virtual_hosts.cc and
// folder_exceptions.cc hold the pages and actions of one part each.
//
// Pages write HTML and change nothing. Form actions change the tree, save
// the whole file once when they changed it, and return their outcome text,
// which becomes Message; a refused request saves nothing, so the file stays
// as it was, byte for byte.
//
// Thread safety: one thread; one request per process.

#ifndef MERVANE_ADMIN_ADMIN_APP_H_
#define MERVANE_ADMIN_ADMIN_APP_H_

#include <memory>
#include <string>

#include "admin/html_writer.h"
#include "cgi/cgi_app.h"
#include "cgi/cgi_variable.h"
#include "config/config_file_lock.h"
#include "config/config_section.h"
#include "config/ip_address.h"

namespace mervane {

// The first value of the named variable of set; "" when absent.
inline const char* Field(const CgiVariableSet& set, const char* name) {
  return set.GetVariable(name).FirstValue();
}

// The IP the named variable of set carries, in the notation pages show:
// an IPv6 address as 2001:db8::5, whichever notation the form sent.
inline std::string IpField(const CgiVariableSet& set, const char* name) {
  return AddressDisplayText(Field(set, name));
}

class AdminApp : public CgiApp {
 public:
  // Reads the configuration file's path from the registry. The request
  // loads the file once, in HandleAction, creating it empty when it does
  // not exist. Every page then shows the error text of init_error_: 1 when
  // the registry gave no path, 2 when the file could neither be loaded nor
  // created.
  AdminApp();
  // Destroys the tree without saving it.
  ~AdminApp() override;

  // The configuration; null when the registry named no file.
  ConfigFile* ConfigRoot() const { return config_root_.get(); }

  // Runs the page or form action named `action`, then writes Message, which
  // only a form action fills.
  void HandleAction(const char* action, const CgiVariableSet& post,
                    const CgiVariableSet& query,
                    const CgiVariableSet& cookies) override;
  void BeginPage(const CgiVariableSet& post, const CgiVariableSet& query,
                 const CgiVariableSet& cookies) override;
  void EndPage(const CgiVariableSet& post, const CgiVariableSet& query,
               const CgiVariableSet& cookies) override;

  // Writes Message when the configuration is loaded.
  void PrintMessage();

  // Saves the whole configuration. Returns outcome when the file was
  // written; followed by the not-flushed text and the reason when it was
  // written but its folder could not be flushed; else the save-failure text
  // and the reason.
  const char* Saved(const char* outcome);

  // A writer for the response.
  HtmlWriter Html() { return HtmlWriter(this, out()); }

 private:
  // Every handler gets the POST and the query variables and reads only those
  // its part names. A page writes HTML; an action returns its outcome text.
  using Page = void (AdminApp::*)(const CgiVariableSet& post,
                                  const CgiVariableSet& query);
  using Action = const char* (AdminApp::*)(const CgiVariableSet& post,
                                           const CgiVariableSet& query);
  // One page or form action: exactly one of page and action is set.
  struct Handler {
    const char* name;
    Page page;
    Action action;
    bool needs_configuration;
  };
  static const Handler kHandlers[];
  static const Handler kDefaultPage;
  // The handler named action, or kDefaultPage.
  static const Handler& FindHandler(const char* action);
  // The outcome of a form action: a refusal for a request that may not
  // change anything (not `allowed`), or that cannot run, or whose lock
  // failed; else what the action returns.
  std::string ActionOutcome(const Handler& handler, bool allowed, bool runs,
                            const CgiVariableSet& post,
                            const CgiVariableSet& query);
  // Loads the configuration, the one load of the request, creating the file
  // empty when it does not exist; sets loaded_, or init_error_ to 2.
  void LoadConfiguration();
  // The one place the program writes the configuration (a change, or the
  // empty file it creates), always under lock_, taken before the request's
  // load: ConfigSection::Save, *problem as Save gives it.
  bool WriteFile(std::string* problem);
  // The save-failure text followed by the problem; valid until the next
  // call.
  const char* Failed(const std::string& problem);
  // `text` and the problem, kept in failure_ until the next call.
  const char* WithProblem(const std::string& text, const std::string& problem);

  // Whether the configuration file exists; it is created only when not.
  bool ConfigFileExists() const;
  // Creates the configuration file, empty, when it does not exist, under
  // lock_ (taken when the request holds none yet); false when it exists or
  // cannot be created.
  bool CreateMissingFile();

  // The IP-selection page every per-IP menu entry passes.
  void IpListPage(const CgiVariableSet& post, const CgiVariableSet& query);

  // Registry configuration (registry_config.cc).
  void RegistryPage(const CgiVariableSet& post, const CgiVariableSet& query);
  const char* DoConfig(const CgiVariableSet& post, const CgiVariableSet& query);

  // General options (general_options.cc).
  void GeneralPage(const CgiVariableSet& post, const CgiVariableSet& query);
  const char* DoGeneral(const CgiVariableSet& post,
                        const CgiVariableSet& query);

  // Real site IPs (real_site_ips.cc).
  void AddIpPage(const CgiVariableSet& post, const CgiVariableSet& query);
  const char* DoAddIp(const CgiVariableSet& post, const CgiVariableSet& query);
  void ListIpsPage(const CgiVariableSet& post, const CgiVariableSet& query);
  const char* DoRemoveIp(const CgiVariableSet& post,
                         const CgiVariableSet& query);

  // Common mapping paths (common_paths.cc).
  void CommonPathsPage(const CgiVariableSet& post, const CgiVariableSet& query);
  const char* DoCommonPaths(const CgiVariableSet& post,
                            const CgiVariableSet& query);

  // Virtual hosts (virtual_hosts.cc).
  void NewMappingPage(const CgiVariableSet& post, const CgiVariableSet& query);
  void EditVHostPage(const CgiVariableSet& post, const CgiVariableSet& query);
  void MappingsPage(const CgiVariableSet& post, const CgiVariableSet& query);
  const char* DoEditVHost(const CgiVariableSet& post,
                          const CgiVariableSet& query);
  const char* DoEditRemoveMapping(const CgiVariableSet& post,
                                  const CgiVariableSet& query);

  // Folder exceptions (folder_exceptions.cc).
  void FolderExceptionsPage(const CgiVariableSet& post,
                            const CgiVariableSet& query);
  const char* DoFolderExceptions(const CgiVariableSet& post,
                                 const CgiVariableSet& query);

  bool loaded_ = false;
  std::unique_ptr<ConfigFile> config_root_;
  // The writers' lock, held from the load of a request that changes the
  // file (or creates it) to the end of the process.
  std::unique_ptr<ConfigFileLock> lock_;
  int init_error_ = 0;
  std::string message_;
  std::string failure_;
};

}  // namespace mervane

#endif  // MERVANE_ADMIN_ADMIN_APP_H_
