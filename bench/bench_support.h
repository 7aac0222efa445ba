// A simulated device for the benchmarks: a temporary root and preference files of chosen sizes.
#pragma once

#include <filesystem>
#include <string>

#include "platform/model/plist_writer.h"

// The eight keys, every flag on, plus `padding` entries in an array to reach larger sizes.
std::string preferenceBytes(Encoding encoding, size_t padding);
// The smallest padding whose file is at least `size` bytes.
size_t paddingFor(Encoding encoding, size_t size);

// Makes a fresh device root, points the model at it, and returns the preference file's path.
std::filesystem::path makeDevice();
void writeFile(const std::filesystem::path &file, const std::string &bytes);
