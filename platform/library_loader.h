// LibraryLoader: loads a shared library (the filter) into the process the
// way a web server does, and finds its exports. Used by test hosts only;
// the deliverables never load libraries.
//
// Thread safety: a loader belongs to one thread; the functions it returns
// may be called from any thread while it lives.

#ifndef MERVANE_PLATFORM_LIBRARY_LOADER_H_
#define MERVANE_PLATFORM_LIBRARY_LOADER_H_

namespace mervane {
namespace platform {

class LibraryLoader {
 public:
  // Loads the library at path (native form); IsLoaded() tells whether it
  // did. Loading runs the library's static initialisation.
  explicit LibraryLoader(const char* path);
  // Unloads the library, which runs its static destruction.
  ~LibraryLoader();
  LibraryLoader(const LibraryLoader&) = delete;
  LibraryLoader& operator=(const LibraryLoader&) = delete;

  int IsLoaded() const { return handle_ != nullptr; }
  // The address of the exported symbol, undecorated name; null when the
  // library is not loaded or does not export it.
  void* Symbol(const char* name) const;

 private:
  void* handle_;
};

}  // namespace platform
}  // namespace mervane

#endif  // MERVANE_PLATFORM_LIBRARY_LOADER_H_
