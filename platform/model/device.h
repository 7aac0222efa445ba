// The simulated device's files, as the model's Foundation reads them.
#pragma once

#include <optional>
#include <string>

namespace model {

// The whole file at an absolute device path, or nothing when it cannot be read. Counts a read.
std::optional<std::string> readDeviceFile(const char *absolutePath);

} // namespace model
