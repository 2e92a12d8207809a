// The variables of one CGI request: form fields of the POST body, query
// string variables and cookies, each collected into a CgiVariableSet before
// the application runs.
//
// A set is a list of variables, a variable a named list of values, a value
// a bare node whose name is the decoded value text. Lookups are those of
// ConfigList: names compare without regard to letter case, first match wins,
// and a variable keeps each distinct value once.
//
// Thread safety: built once at start-up, read-only afterwards; one thread.

#ifndef MERVANE_CGI_CGI_VARIABLE_H_
#define MERVANE_CGI_CGI_VARIABLE_H_

#include "config/config_list.h"
#include "config/config_node.h"

namespace mervane {

class CgiValue : public ConfigNode {
 public:
  // An empty text is stored as no name and reads back as "".
  explicit CgiValue(const char* text);
  // The value text; never null.
  const char* Text() const;
};

class CgiVariable : public ConfigList {
 public:
  explicit CgiVariable(const char* name);
  CgiVariable(const CgiVariable&) = delete;
  // The text of the first value, or "" when there is none. Never null.
  const char* FirstValue() const;
};

class CgiVariableSet : public ConfigList {
 public:
  CgiVariableSet();
  CgiVariableSet(const CgiVariableSet&) = delete;
  // The variable of that name (letter case ignored), or EmptyVariable()
  // when there is none. Never fails.
  const CgiVariable& GetVariable(const char* name) const;
  // Adds value to the variable `name`, creating the variable on first use.
  // A value equal (letter case ignored) to one the variable holds is
  // dropped.
  void Store(const char* name, const char* value);
};

// The three sets of the request, and the variable that lookups of absent
// names return.
CgiVariableSet& PostVariables();
CgiVariableSet& QueryVariables();
CgiVariableSet& CookieVariables();
const CgiVariable& EmptyVariable();

}  // namespace mervane

#endif  // MERVANE_CGI_CGI_VARIABLE_H_
