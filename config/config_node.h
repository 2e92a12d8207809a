// ConfigNode: the named node every part of the configuration tree derives
// from. The CGI toolkit builds its request variables from it as well.
//
// Thread safety: a node may be read by many threads at once; it must not be
// changed while anyone reads it.

#ifndef MERVANE_CONFIG_CONFIG_NODE_H_
#define MERVANE_CONFIG_CONFIG_NODE_H_

#include <cstddef>
#include <memory>

namespace mervane {

class ConfigList;
class ConfigStream;

class ConfigNode {
 public:
  ConfigNode();
  // Stores a copy of name (see SetName).
  explicit ConfigNode(const char* name);
  ConfigNode(const ConfigNode& other);
  ConfigNode& operator=(const ConfigNode&) = delete;

  // Virtual operations, in slot order.
  virtual ~ConfigNode();
  // A deep copy of the node's own class.
  virtual ConfigNode* Clone() const;
  // Generic writer: an empty section of the node's name. Returns the result
  // of the stream's EndSection.
  virtual int Write(ConfigStream* stream);
  // Generic reader: reads nothing and returns 1.
  virtual int Read(ConfigStream* stream);

  // The name, or null for an unnamed node. Never an empty text.
  const char* Name() const { return name_.get(); }
  // Stores a copy of name; a null or empty name leaves the node unnamed.
  // The list that holds the node keeps finding it by its new name. A shared
  // null node keeps its name.
  void SetName(const char* name);

 protected:
  // True for the shared null nodes, which refuse every edit.
  virtual bool IsReadOnly() const { return false; }

 private:
  friend class ConfigList;

  std::unique_ptr<char[]> name_;
  // The list that owns this node, told of renames, and the node's slot in
  // it; null and 0 when no list holds the node.
  ConfigList* owner_ = nullptr;
  int slot_ = 0;
};

// Compares two texts without regard to the letter case of ASCII letters, as
// every name in the tree is compared. Returns <0, 0 or >0 like strcmp.
int CompareNamesIgnoringCase(const char* a, const char* b);
// A hash of name under the same folding: names that compare equal above hash
// alike.
std::size_t HashNameIgnoringCase(const char* name);

}  // namespace mervane

#endif  // MERVANE_CONFIG_CONFIG_NODE_H_
