// The outcome texts that more than one form action of the administration
// program stores into Message. Texts used by one action alone stand in that
// action. All are shorter than the 256 bytes a message may take.

#ifndef MERVANE_ADMIN_ADMIN_MESSAGES_H_
#define MERVANE_ADMIN_ADMIN_MESSAGES_H_

namespace mervane {
namespace messages {

inline constexpr char kInitFailure[] = "Init failure!";
inline constexpr char kSaveFailed[] = "Error saving CFG file.";
// After the outcome of a change whose new file is in place but may not yet
// be on the disk.
inline constexpr char kSavedNotFlushed[] =
    "The CFG file was saved, but not flushed to disk:";
// A change asked for by another method than POST or from another site.
inline constexpr char kChangeRefused[] =
    "Changes are accepted only from the forms of this program. Nothing was "
    "changed.";
inline constexpr char kEmptyUrlSubdirOrPath[] =
    "Empty URL subdir or physical path are not accepted!";
inline constexpr char kEmptyPath[] = "Empty physical path is not accepted!";
inline constexpr char kEmptyHostName[] =
    "Empty name for vitrual host is not accepted!";

// Refusals for requests that name what the configuration does not hold.
inline constexpr char kIpNotRegistered[] = "That IP is not registered!";
inline constexpr char kHostNotFound[] =
    "That virtual host is not registered on that IP!";
inline constexpr char kIncompleteIp[] =
    "The CFG file lacks a section of that IP! Nothing was changed.";
inline constexpr char kNameTaken[] =
    "That name is used by another kind of entry in the CFG file! Nothing "
    "was changed.";

// Refusals for texts the configuration file cannot carry: they would come
// back changed after the next load, or break the file.
inline constexpr char kUnstorableIp[] =
    "An IP with a line break, ':' or ';', a leading blank or more than 255 "
    "characters is not accepted!";
inline constexpr char kUnstorableHostName[] =
    "A virtual host name with a line break, ':' or ';', a leading blank or "
    "more than 255 characters is not accepted!";
inline constexpr char kUnstorableUrlSubdir[] =
    "A URL subdir with a line break, '=', '[' or ']', a leading blank or "
    "more than 255 characters is not accepted!";
inline constexpr char kUnstorableText[] =
    "A path or name with a line break or more than 511 characters is not "
    "accepted!";

}  // namespace messages
}  // namespace mervane

#endif  // MERVANE_ADMIN_ADMIN_MESSAGES_H_
