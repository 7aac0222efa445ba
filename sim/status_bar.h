// What the host's status bar shows at a moment, asked of the host's own methods, and the picture
// of it: as a simulated SpringBoard draws it, at a real device's status-bar size.
#pragma once

#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

namespace sim {

struct StatusBar {
    // One piece of text the bar shows: as `status` prints it ("Carrier" in quotes, or none,
    // unset, absent), as JSON, and the text drawn, when there is one.
    struct Piece {
        std::string shown;
        nlohmann::ordered_json json;
        std::optional<std::string> text;
    };
    Piece carrier;         // SBTelephonyManager's operator name: the first SIM
    Piece providerCarrier; // STTelephonyStateProvider's: the second SIM's row, or beside the first
    Piece sim;             // the SIM-status string
    std::string radio;     // on, dead or absent
    std::string dualSIM;   // on, off or absent
};

// Draws `bar` into a PNG at `file`: a status bar 414 points wide, as on the large phones, and 44
// high, as on the phones with two SIMs, at three pixels a point. The time is fixed, so the same
// state always makes the same picture. Throws InputError when the file cannot be written.
void drawStatusBar(const StatusBar &bar, const std::filesystem::path &file);

} // namespace sim
