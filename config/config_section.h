// ConfigSection: a group whose children are sections and arrays; the inner
// nodes of the configuration tree. ConfigFile is a section bound to a file.
//
// Typed lookups never return null: a missing child, a hole or a child of the
// other kind gives the shared null node of the requested kind, so chains of
// lookups are always safe. Test IsNull() when it matters. Edits on a null
// node are refused (they return 0 or null and change nothing).

#ifndef MERVANE_CONFIG_CONFIG_SECTION_H_
#define MERVANE_CONFIG_CONFIG_SECTION_H_

#include <cstdint>
#include <string>

#include "config/config_array.h"
#include "config/config_group.h"
#include "platform/platform.h"

namespace mervane {

class ConfigStream;

class ConfigSection : public ConfigGroup {
 public:
  // An ordinary (unbound) section.
  explicit ConfigSection(const char* name);
  // The unnamed null form (NullSection).
  struct NullForm {};
  explicit ConfigSection(NullForm);
  ConfigSection(const ConfigSection& other);
  ~ConfigSection() override;

  // Virtual operations, in slot order: 0 to 4 as ConfigGroup, then 5 to 8,
  // and NewSection (9, protected).
  ConfigNode* Clone() const override;
  // Reads lines from the stream's next line on into this section. Returns 1
  // when it met this section's end line, 0 when the stream ended first.
  virtual int LoadFrom(ConfigStream* stream);
  // Reads the bound file into this section (merging into what it holds).
  // Returns 0 for an unbound section, a file that cannot be opened, or one
  // nested deeper than kDeepestNesting sections; the section then holds
  // what was read before, which is not to be used.
  virtual int Load();
  // Writes the section's children to the stream.
  virtual int WriteTo(ConfigStream* stream);
  // Rewrites the bound file from this section, through the file
  // "<path>.tmp" beside it (when the path is a symbolic link: beside the
  // file at the end of its links, which is replaced and the links kept),
  // which replaces the file in one step only after
  // every byte was written and flushed to the disk; the file keeps its
  // owner, group and permissions where this process may set them. Returns 1
  // once the new file has replaced the old one; *problem (when given) is
  // then empty, or says why the replacement may not survive a power cut
  // (its folder could not be flushed). On any failure before that
  // (unbound, a text the format cannot carry, a system error) returns 0,
  // stores the reason for people in *problem, removes the temporary file
  // and leaves the old one as it was. Two saves of one file at once must be
  // kept apart by the caller (ConfigFileLock). steps add to the
  // replacement what platform::ReplaceFileDurably allows.
  virtual int Save(std::string* problem = nullptr,
                   const platform::ReplaceSteps& steps = {});

  ConfigSection* GetSection(const char* name) const;
  ConfigSection* GetSectionAt(int index) const;
  ConfigArray* GetArray(const char* name) const;
  ConfigArray* GetArrayAt(int index) const;

  // Get-or-create. Returns null when the name is held by a child of the
  // other kind (or the section may not be changed).
  ConfigSection* AddSection(const char* name);
  ConfigArray* AddArray(const char* name);

  // AddArray(array_name), then the array's operation of the same name.
  // Each returns the array's FirstInt() afterwards; 0 when AddArray failed.
  int32_t AddInt(const char* array_name, int32_t value, const char* value_name);
  int32_t AddFloat(const char* array_name, float value, const char* value_name);
  int32_t AddString(const char* array_name, const char* text,
                    const char* value_name);
  int32_t AddDouble(const char* array_name, double value,
                    const char* value_name);
  int32_t AddInt64(const char* array_name, int64_t value,
                   const char* value_name);
  int32_t AddBlob(const char* array_name, const void* data, uint32_t size,
                  const char* value_name);

 protected:
  ConfigSection(const char* path, int bound);

  // The factory of AddSection, and so of the reader: a new, empty section
  // of that name, of this section's choice of class. Plain sections make
  // plain ones; a reader that acts on sections as they are read makes its
  // own kind.
  virtual ConfigSection* NewSection(const char* name);

 private:
  // The reader's steps for one value line and for one blob.
  void LoadValue(ConfigStream* stream, int event);
  void LoadBlob(ConfigStream* stream);
  // Save's writing; *problem as for Save.
  bool WriteThroughTempFile(std::string* problem,
                            const platform::ReplaceSteps& steps);
  // AddSection and AddArray: the child of that name when it is of the kind
  // Group, else a new one.
  template <typename Group>
  Group* GetOrCreate(const char* name);

  int32_t bound_;
};

// A section bound to a configuration file; its name is the file's path.
class ConfigFile : public ConfigSection {
 public:
  explicit ConfigFile(const char* path);
};

// The shared read-only null nodes. They exist before any other code of the
// deliverable runs and are never changed.
ConfigSection* NullSection();
ConfigArray* NullArray();
ConfigValue* NullValue();

}  // namespace mervane

#endif  // MERVANE_CONFIG_CONFIG_SECTION_H_
