// Texts as the trace and the simulator's command language both write them: in double quotes, with
// \" \\ \n \t escaped, UTF-8 as it is, and any other byte as \xNN.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace model {

std::string quoteText(std::string_view text);
// The length of the UTF-8 sequence that starts at `at`, or 0 where the byte there starts none.
size_t utf8SequenceAt(std::string_view text, size_t at);
// \xNN
std::string escapedByte(unsigned char byte);

} // namespace model
