// Arbitrary bytes as a simulator command line: the parser refuses or accepts, never more, and
// what it prints of a value reads back as the same value.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "sim/command_line.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string_view line(reinterpret_cast<const char *>(data), size);
    std::vector<sim::Token> tokens;
    try {
        tokens = sim::tokenize(line);
    } catch (const sim::InputError &) {
        return 0;
    }
    for (const sim::Token &token : tokens) {
        sim::Value value;
        try {
            value = sim::parseValue(token);
        } catch (const sim::InputError &) {
            continue;
        }
        std::vector<sim::Token> again = sim::tokenize(sim::formatValue(value));
        if (again.size() != 1) {
            abort();
        }
        sim::Value reread = sim::parseValue(again[0]);
        if (reread.kind != value.kind || reread.text != value.text || reread.integer != value.integer) {
            abort();
        }
    }
    return 0;
}
