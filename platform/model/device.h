// The simulated device's files, as the model's Foundation reads them.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace model {

// The simulated device's file system: absolute device paths resolve under this root.
void setDeviceRoot(std::filesystem::path root);
std::filesystem::path deviceRoot();
std::filesystem::path devicePath(const char *absolutePath);
// How many times a dictionary was read from a file in this process.
long dictionaryFileReads();
// The reads that found a file there but no dictionary in it (unreadable, not a regular file, not a
// property list with a dictionary root), which the platform answers as no file: how many so far,
// and the last one's device path and why.
struct FileProblems {
    long count = 0;
    std::string file;
    std::string why;
};
FileProblems fileProblems();

// The whole file at an absolute device path, read into `room` (which keeps its size from one read
// to the next), or nothing when it cannot be read. Counts a read, and notes why a file that is
// there could not be read (see fileProblems).
std::optional<std::string_view> readDeviceFile(const char *absolutePath, std::string &room);
// Notes a file that was read but holds no property list with a dictionary at its root.
void noteUnreadableDictionary(const char *absolutePath, const std::string &why);

} // namespace model
