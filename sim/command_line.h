// The simulator's command language: words, "text" with C escapes, nil, YES, NO, integers, @NAME.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/model/text.h"
#include "sim/failures.h"

namespace sim {

struct Token {
    bool quoted; // "text"; its escapes are already resolved
    std::string text;
};

// Splits a line at white space outside quotes. Throws InputError for an unterminated quote, a bad
// escape, or text that is not UTF-8.
std::vector<Token> tokenize(std::string_view line);

struct Value {
    enum class Kind { text, nil, yes, no, integer, object } kind;
    std::string text; // the text, or the object's name
    int64_t integer = 0;
};

// One argument of a call. Throws InputError for anything that is none of the forms above.
Value parseValue(const Token &token);

// The notation back: "text" with escapes, nil, YES, NO, an integer, @NAME. A byte that is no part
// of UTF-8 is written \xNN, as the notation reads it.
std::string formatValue(const Value &value);
using model::escapedByte;
using model::quoteText;
using model::utf8SequenceAt;

} // namespace sim
