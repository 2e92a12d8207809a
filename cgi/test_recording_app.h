// RecordingApp: a CgiApp for the tests that writes into a temporary file
// and marks each step of the page, so that tests see the response bytes and
// the action chosen. The test executable also supplies ActionTable and
// ErrorTable.

#ifndef MERVANE_CGI_RECORDING_APP_H_
#define MERVANE_CGI_RECORDING_APP_H_

#include <string>

#include "cgi/cgi_app.h"

namespace mervane {

class RecordingApp : public CgiApp {
 public:
  RecordingApp();
  ~RecordingApp() override;

  // Writes "[action <id>]" and remembers the id.
  void HandleAction(int id, const CgiVariableSet& post,
                    const CgiVariableSet& query,
                    const CgiVariableSet& cookies) override;
  // Write "[begin]" and "[end]".
  void BeginPage(const CgiVariableSet& post, const CgiVariableSet& query,
                 const CgiVariableSet& cookies) override;
  void EndPage(const CgiVariableSet& post, const CgiVariableSet& query,
               const CgiVariableSet& cookies) override;

  // Everything written so far.
  std::string Output();
  // The id of the last HandleAction; 0 before the first.
  int handled_id() const { return handled_id_; }

 private:
  int handled_id_ = 0;
};

// Sets an environment variable of this process. An empty value may leave the
// variable empty or remove it (it differs by system); the CGI toolkit reads
// both alike.
void SetEnvironment(const char* name, const std::string& value);

}  // namespace mervane

#endif  // MERVANE_CGI_RECORDING_APP_H_
