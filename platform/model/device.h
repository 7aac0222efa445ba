// The simulated device's files, as the model's Foundation reads them.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace model {

// The whole file at an absolute device path, read into `room` (which keeps its size from one read
// to the next), or nothing when it cannot be read. Counts a read, and notes why a file that is
// there could not be read (see fileProblems in model.h).
std::optional<std::string_view> readDeviceFile(const char *absolutePath, std::string &room);
// Notes a file that was read but holds no property list with a dictionary at its root.
void noteUnreadableDictionary(const char *absolutePath, const std::string &why);

} // namespace model
