#include "cgi/cgi_variable.h"

#include <memory>

namespace mervane {

CgiValue::CgiValue(const char* text) : ConfigNode(text) {}

const char* CgiValue::Text() const { return Name() ? Name() : ""; }

CgiVariable::CgiVariable(const char* name) : ConfigList(name) {}

const char* CgiVariable::FirstValue() const {
  // Every child of a variable is a CgiValue: Store adds nothing else.
  const auto* value = static_cast<const CgiValue*>(At(1));
  return value ? value->Text() : "";
}

CgiVariableSet::CgiVariableSet() = default;

const CgiVariable& CgiVariableSet::GetVariable(const char* name) const {
  const auto* variable = static_cast<const CgiVariable*>(Find(name));
  return variable ? *variable : EmptyVariable();
}

void CgiVariableSet::Store(const char* name, const char* value) {
  auto* variable = static_cast<CgiVariable*>(Find(name));
  if (variable == nullptr) {
    // An empty name leaves the variable unnamed: it is kept but can never be
    // found, and the next empty name makes a variable of its own.
    auto created = std::make_unique<CgiVariable>(name);
    if (!Add(created.get())) return;
    variable = created.release();
  }
  // Add refuses a value equal to one the variable holds; it is dropped.
  auto text = std::make_unique<CgiValue>(value);
  if (variable->Add(text.get())) text.release();
}

// The sets live until the process ends: the application object, itself
// static, may still read them while static objects are destroyed.
CgiVariableSet& PostVariables() {
  static auto* set = new CgiVariableSet;
  return *set;
}

CgiVariableSet& QueryVariables() {
  static auto* set = new CgiVariableSet;
  return *set;
}

CgiVariableSet& CookieVariables() {
  static auto* set = new CgiVariableSet;
  return *set;
}

const CgiVariable& EmptyVariable() {
  static const auto* variable = new CgiVariable("");
  return *variable;
}

}  // namespace mervane
