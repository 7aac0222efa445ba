// The preference file as a user owns it: read only when it is a regular file, and replaced
// whole, atomically, as the same file: its mode and owner kept, and through a symbolic link the
// link's target written, so the link stays a link.
#pragma once

#include <cstddef>
#include <filesystem>
#include <limits>
#include <optional>
#include <string>

namespace sim {

// A regular file, whole or its first `upTo` bytes, or nothing when there is none. Throws InputError
// naming the file and why it cannot be read: a directory or another kind of object, permission
// denied, an I/O error. Never waits on a FIFO or a device.
std::optional<std::string> readRegularFile(const std::filesystem::path &file,
                                           size_t upTo = std::numeric_limits<size_t>::max());

// Where writing `file` really goes: through every symbolic link, to the path of what it names.
// Throws InputError for a loop of links.
std::filesystem::path writtenPath(const std::filesystem::path &file);

// Puts `bytes` in place of `file` (already resolved by writtenPath) in one rename: an existing
// file's mode and owner stay, a new one gets 0666 less the umask. Throws InputError, with the file
// left as it was, when it cannot.
void replaceAtomically(const std::filesystem::path &file, const std::string &bytes);

} // namespace sim
