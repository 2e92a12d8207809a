#include "config/config_node.h"

#include <cstring>

#include "config/config_list.h"
#include "config/config_stream.h"

namespace mervane {

namespace {

// A heap copy of text, or null for a null or empty text.
std::unique_ptr<char[]> CopyName(const char* text) {
  if (text == nullptr || text[0] == '\0') return nullptr;
  size_t size = std::strlen(text) + 1;
  std::unique_ptr<char[]> copy(new char[size]);
  std::memcpy(copy.get(), text, size);
  return copy;
}

unsigned char FoldCase(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + ('a' - 'A'))
                                : c;
}

}  // namespace

ConfigNode::ConfigNode() = default;

ConfigNode::ConfigNode(const char* name) : name_(CopyName(name)) {}

ConfigNode::ConfigNode(const ConfigNode& other)
    : name_(CopyName(other.Name())) {}

ConfigNode::~ConfigNode() = default;

ConfigNode* ConfigNode::Clone() const { return new ConfigNode(*this); }

int ConfigNode::Write(ConfigStream* stream) {
  stream->BeginSection(Name());
  return stream->EndSection();
}

int ConfigNode::Read(ConfigStream*) { return 1; }

void ConfigNode::SetName(const char* name) {
  if (IsReadOnly()) return;
  std::unique_ptr<char[]> copy = CopyName(name);
  if (owner_ != nullptr) owner_->UnindexChild(this);
  name_ = std::move(copy);
  if (owner_ != nullptr) owner_->IndexChild(this);
}

int CompareNamesIgnoringCase(const char* a, const char* b) {
  const unsigned char* x = reinterpret_cast<const unsigned char*>(a);
  const unsigned char* y = reinterpret_cast<const unsigned char*>(b);
  while (*x != '\0' && FoldCase(*x) == FoldCase(*y)) {
    ++x;
    ++y;
  }
  return static_cast<int>(FoldCase(*x)) - static_cast<int>(FoldCase(*y));
}

size_t HashNameIgnoringCase(const char* name) {
  // FNV-1a over the folded bytes, so that names equal under
  // CompareNamesIgnoringCase hash alike.
  size_t hash = static_cast<size_t>(14695981039346656037ull);
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(name);
       *p != '\0'; ++p) {
    hash = (hash ^ FoldCase(*p)) * static_cast<size_t>(1099511628211ull);
  }
  return hash;
}

}  // namespace mervane
