#include "filter/isapi_context.h"

namespace mervane {

int IsapiContext::GetServerVariable(const char* name, char* buffer,
                                    uint32_t size) {
  if (context_->GetServerVariable == nullptr) return 0;
  if (size == 0) return 0;
  DWORD length = size;
  // The callback's parameter is not const, but the server only reads it.
  if (context_->GetServerVariable(context_, const_cast<char*>(name), buffer,
                                  &length) == FALSE) {
    return 0;
  }
  // Callers rely on a terminated text even from a careless server.
  buffer[size - 1] = '\0';
  return 1;
}

void IsapiContext::ReportSite(const MappedSite& site) {
  if (context_->ServerSupportFunction == nullptr) return;
  isapi::SiteReport report = {sizeof report,
                              site.entry.c_str(),
                              site.user_dir.c_str(),
                              site.document_root.c_str(),
                              site.context_prefix.c_str(),
                              site.context_root.c_str()};
  context_->ServerSupportFunction(context_, isapi::kReportSite, &report,
                                  sizeof report, 0);
}

bool IsapiContext::TakesParseElsewhere() {
  return context_->ServerSupportFunction != nullptr &&
         context_->ServerSupportFunction(context_, isapi::kParseElsewhere,
                                         nullptr, 0, 0) == TRUE;
}

void* IsapiContext::AllocMem(uint32_t size) {
  if (context_->AllocMem == nullptr) return nullptr;
  return context_->AllocMem(context_, size, 0);
}

}  // namespace mervane
