// Just enough JSON writing for one object per line.
#pragma once

#include <string>
#include <string_view>

namespace sim {

std::string jsonString(std::string_view text);

} // namespace sim
