// What a command answers, as a value, and the one renderer that prints it: one line for a pipe,
// a few aligned lines for a person at a terminal, or one JSON object with --json.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "sim/command_line.h"

namespace sim {

using Json = nlohmann::ordered_json;

struct Reply {
    Json json;                                       // {"command": NAME, ...}
    std::vector<std::vector<std::string>> rows = {}; // a line each for a person, a cell a column
    // How a pipe's one line joins the rows: cells, then rows; and what it says of none.
    std::string cellSeparator = " ";
    std::string rowSeparator = "; ";
    std::string whenEmpty = "none";
    bool grouped = false; // a row whose first cell is set opens a group: "GROUP: a b, c d | ..."
    bool aligned = false; // a terminal gets the rows as aligned lines
    // Said on standard error beside the reply, a line each: what the command did that the user
    // may not expect, where nothing failed.
    std::vector<std::string> warnings = {};
};

enum class Output { pipe, terminal, json };

// The lines that print `reply`: one, but for an aligned reply on a terminal `columns` wide.
std::vector<std::string> render(const Reply &reply, Output output, size_t columns = 0);

// A reply of one line of words, as most commands make.
inline Reply words(Json json, std::vector<std::string> cells) {
    return Reply{std::move(json), {std::move(cells)}};
}

// A value of the command language as JSON: text, null, true, false, an integer, {"object":NAME}.
Json toJson(const Value &value);
// Text as JSON can carry it: UTF-8 as it is, and each byte of none as \xNN, the notation's escape.
std::string jsonText(std::string_view text);
// A JSON object as one line.
std::string jsonLine(const Json &object);

} // namespace sim
