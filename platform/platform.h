// The operating-system services the rest of the system needs, behind one
// interface. platform_win32.cc implements it with the Windows API;
// platform_posix.cc with small stand-ins that keep the same contracts (the
// conventions are written down in platform/README.md). CMake picks one of the
// two; nothing above this layer tests which.
//
// Thread safety: every function may be called from any thread at once, except
// that one RegistryHandle belongs to one thread at a time.

#ifndef MERVANE_PLATFORM_PLATFORM_H_
#define MERVANE_PLATFORM_PLATFORM_H_

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

namespace mervane {
namespace platform {

// ---- Registry -------------------------------------------------------------

enum class RegistryRoot { kLocalMachine, kCurrentUser };

// An open registry key. Opaque; obtained from OpenRegistryKey and released
// with CloseRegistryKey.
struct RegistryHandleRep;
using RegistryHandle = RegistryHandleRep*;

// What RegQueryInfoKeyA reports about a key.
struct RegistryKeyInfo {
  char class_name[260] = {};
  uint32_t class_length = 0;
  uint32_t sub_keys = 0;
  uint32_t max_sub_key_length = 0;
  uint32_t max_class_length = 0;
  uint32_t values = 0;
  uint32_t max_value_name_length = 0;
  uint32_t max_value_data_length = 0;
  uint32_t security_descriptor_size = 0;
  uint32_t last_write_time_low = 0;
  uint32_t last_write_time_high = 0;
};

// Opens the key `path` (components separated by '\') below `root`. With
// `create` the missing keys are made and the key is opened for all access;
// otherwise it is opened for reading. Returns null on failure.
RegistryHandle OpenRegistryKey(RegistryRoot root, const char* path,
                               bool create);
void CloseRegistryKey(RegistryHandle key);
// Returns false when the information cannot be had.
bool QueryRegistryKeyInfo(RegistryHandle key, RegistryKeyInfo* info);
// Stores the byte size of the value's data in *size; false when the value is
// missing or cannot be queried.
bool QueryRegistryValueSize(RegistryHandle key, const char* name,
                            uint32_t* size);
// Reads at most *size bytes of the value's data into buffer and stores the
// number read in *size; false on failure (also when buffer is too small).
bool ReadRegistryValue(RegistryHandle key, const char* name, void* buffer,
                       uint32_t* size);
// Stores text and its terminating zero as a REG_SZ value; false on failure.
bool WriteRegistryString(RegistryHandle key, const char* name,
                         const char* text);
// Deletes the value; false when it is missing or cannot be deleted (also
// when the key was opened for reading).
bool DeleteRegistryValue(RegistryHandle key, const char* name);

// ---- Files ----------------------------------------------------------------

// A file's last-write time as the Windows FILETIME halves: 100-nanosecond
// intervals since 1601-01-01 UTC.
struct FileTime {
  uint32_t low = 0;
  uint32_t high = 0;
  bool operator==(const FileTime& o) const {
    return low == o.low && high == o.high;
  }
  bool operator!=(const FileTime& o) const { return !(*this == o); }
};

// What tells one version of a file from another: its last-write time, its
// size and the file's identity. A save replaces the file by a rename, so its
// identity changes even when the time and the size come out the same.
struct FileStamp {
  FileTime last_write_time;
  uint64_t size = 0;
  // Device and inode on POSIX. On Windows, whose file index needs an open
  // handle, the creation time: a save creates the file it renames. (NTFS
  // may give a file renamed to a name the old file's creation time; saves
  // there date their file after the one they replace instead.)
  uint64_t identity[2] = {0, 0};
  // POSIX: the inode's change time, which a chmod or chown moves, so that a
  // file made readable is loaded again. 0 on Windows.
  FileTime changed;
  bool operator==(const FileStamp& o) const {
    return last_write_time == o.last_write_time && size == o.size &&
           identity[0] == o.identity[0] && identity[1] == o.identity[1] &&
           changed == o.changed;
  }
  bool operator!=(const FileStamp& o) const { return !(*this == o); }
};

// What a rename keeps of a stamp: the stamp of a fresh file, taken before
// it is renamed into place, equals the renamed file's once both pass
// through here. POSIX drops the change time, which a rename moves; Windows
// also the creation time, which a rename over another file may take from
// the file it replaces.
FileStamp StampKeptByRename(const FileStamp& stamp);

// Reads the stamp of the file at path without opening it (a stat;
// GetFileAttributesEx), so that a save replacing it at that moment never
// meets an open file. Returns false, leaving *stamp alone, when there is no
// such file (a folder included).
bool QueryFileStamp(const char* path, FileStamp* stamp);

// FindFirstFile on path: true when an entry is found; *is_directory tells
// whether it is a directory.
bool FindFileEntry(const char* path, bool* is_directory);

// fopen on the native form of path, never inherited by programs started
// meanwhile. Mode letters as for fopen; "t" is the text mode, which on
// Windows writes a line feed as CR LF. On Windows an
// open for reading that meets the moment a save replaces the file is tried
// again for up to about 50 ms.
std::FILE* OpenFile(const char* path, const char* mode);

// Deletes the file; false when it could not be deleted.
bool DeleteFileAt(const char* path);

// The native form of a path that may be written in Windows form (drive
// letter, backslashes). On Windows the path itself. A null path gives the
// empty text, which names no file.
std::string NativePath(const char* path);

// ---- Saving a file under a lock ------------------------------------------

// The file that a save of `path` replaces: path itself, spelled as given,
// when it is no symbolic link; else the file at the end of its chain of
// links (a relative target counts from its link's folder), in native form
// (POSIX; on Windows the system's final path), which may not exist yet
// (POSIX). A save writes its temporary file beside that file, locks it there
// and renames over it, so that the links stay and every path through them
// sees the change. False, with the system's error, for a chain that loops
// (and on Windows for a link whose target is missing).
bool FinalFilePath(const char* path, std::string* final_path);

// An exclusive lock on a lock file, held until UnlockFile. Opaque.
struct FileLockRep;
using FileLock = FileLockRep*;

// Opens the file at `path` (creating it, empty, when missing) and waits
// until this caller holds its exclusive lock (flock; LockFileEx). Locks of
// other processes and of other calls in this process exclude each other.
// Returns null when the file cannot be opened or locked, and on POSIX when
// `path` is a symbolic link, which is never followed.
FileLock LockFileExclusively(const char* path);
// Releases the lock and closes the file, which stays where it is.
void UnlockFile(FileLock lock);

// What ReplaceFileDurably achieved.
enum class Replacement {
  kFailed,      // nothing replaced; the target is as it was
  kDurable,     // the new file replaced the target and is on the disk
  kNotFlushed,  // the new file replaced the target, but the folder could
                // not be flushed: a power cut may still bring back the old
};

// Writes `data` to `target` whole: into the fresh file `temp_path` beside
// it, synced through the descriptor it was written with, then renamed over
// `target`, and the folder synced, so that a reader sees the old or the new
// file, never a part of one, and the new one survives a power cut. A file
// left at `temp_path` is removed first; the fresh one is made with
// O_EXCL | O_NOFOLLOW, so it is never a symbolic link planted there. An
// existing target's owner, group and mode (POSIX: as far as the caller may
// set them) or its access control list (Windows) pass to the new file, which
// is dated after the target even when the clock has not moved since. Line
// feeds become the system's line ends (CR LF on Windows). A folder sync that
// the file system does not support (EINVAL) counts as done. The caller keeps
// other writers of `temp_path` away (a lock, or a name of its own). On
// kFailed and kNotFlushed *problem receives "<path>: <system text>", with
// the path spelled as given; on kDurable it is left alone.
Replacement ReplaceFileDurably(const char* temp_path, const char* target,
                               const std::string& data, std::string* problem);

// What ReplaceFileDurably does besides its plain replacement of a text.
struct ReplaceSteps {
  // The data is written exactly, line feeds included, on every system.
  bool binary = false;
  // Called with the fresh file's path (native) and stamp once it is
  // complete and on the disk, and before it is renamed over the target: the
  // moment to put what describes the new file in place first. A false
  // return fails the replacement with the problem it gave, and the fresh
  // file is removed.
  std::function<bool(const std::string& fresh_path, const FileStamp& fresh,
                     std::string* problem)>
      before_rename;
};
Replacement ReplaceFileDurably(const char* temp_path, const char* target,
                               const std::string& data, std::string* problem,
                               const ReplaceSteps& steps);

// The system's text for the last failed file operation of this thread
// (errno; GetLastError), for messages to people.
std::string LastErrorText();

// ---- A whole file in memory, read-only --------------------------------------

// The content of a file, whole, for readers that must not parse it. On a
// local POSIX file system it is mapped read-only and shared, so that every
// process shares one copy through the page cache; a replacement by rename
// leaves the mapped file as it was. On Windows, where a mapped file cannot
// be replaced, on network and FUSE file systems (NFS, SMB, CIFS, FUSE),
// where another machine may cut the mapped file short, and whenever the
// environment variable MERVANE_READ_WHOLE_FILES is set and not empty, it is
// read whole into memory and the file closed at once. Opaque.
struct FileContentRep;
using FileContent = FileContentRep*;

// Opens the file at path and gives its content, with the file's stamp as
// opened in *stamp. Null, with the reason in *problem, when it cannot be
// opened, read or mapped.
FileContent OpenFileContent(const char* path, FileStamp* stamp,
                            std::string* problem);
// The bytes, page-aligned; valid until CloseFileContent.
const char* FileContentData(FileContent content);
std::size_t FileContentSize(FileContent content);
// True when the content is a shared mapping of the file, false when read.
bool FileContentIsMapped(FileContent content);
void CloseFileContent(FileContent content);

// ---- Time, resources, process ---------------------------------------------

// Writes the mapping log's time stamp for the current local time into buffer
// (at most size bytes, terminator included): the time of day without seconds
// and the short date of the user's locale, joined by ", ". Both come from one
// reading of the clock.
void FormatLogTimeStamp(char* buffer, std::size_t size);

// Loads string resource `id` of the module that holds this code into buffer
// (at most size - 1 characters and a terminator). Returns the number of
// characters copied, 0 when there is no such string. On Windows the module's
// STRINGTABLE (.rc); elsewhere kStringTable, which the module defines.
int LoadStringResource(unsigned id, char* buffer, int size);

// The string resources of a module built for POSIX, ended by a row with a
// null text. Defined by the module (the filter library), not by this layer.
struct StringTableEntry {
  unsigned id;
  const char* text;
};
extern const StringTableEntry kStringTable[];

// Milliseconds of a monotonic clock with a coarse tick (a few milliseconds),
// cheap enough to read on every request.
uint64_t MonotonicMilliseconds();

// Tells the administrator of a failure that no request can report: the
// Windows event log (source "Mervane"), or standard error, which Apache
// writes to its error log. One line; never fails.
void ReportFailure(const char* message);

// ---- Whole appends, for many threads at once ------------------------------

// Appends size bytes of text to the file at path, creating it when missing,
// in one write that lands whole at the file's end, never interleaved with
// other appends to it from any thread or process. Line feeds become the
// system's line ends (CR LF on Windows). False when it could not be written.
bool AppendToFile(const char* path, const char* text, std::size_t size);

// Switches standard input and output to binary mode, so that a CGI response
// is written byte for byte. No effect where streams have no text mode.
void UseBinaryStdio();

// ---- Memory ----------------------------------------------------------------

// Gives the heap's free memory back to the system where the allocator keeps
// it, so that a large structure, once freed, no longer counts in the
// process's resident size. Costs about a walk of the heap: call it after
// freeing much, not per request.
void ReleaseFreeMemory();

// Whole pages straight from the system, zero-filled, for large structures
// that are to leave the process's resident size the moment they are freed.
// Null when the system has none. FreePages takes the pointer and the size
// that AllocatePages was given.
void* AllocatePages(std::size_t size);
void FreePages(void* pages, std::size_t size);

}  // namespace platform
}  // namespace mervane

#endif  // MERVANE_PLATFORM_PLATFORM_H_
