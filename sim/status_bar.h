// What the host's status bar shows at a moment, asked of the host's own methods, and the picture
// of it: as a simulated SpringBoard draws it, at a real device's status-bar size.
#pragma once

#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

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
    Piece sim;             // the SIM-status string the host makes for the card's state
    std::string radio;     // on, dead or absent
    std::string dualSIM;   // on, off or absent
    std::string simCard;   // ready, absent or locked
    Piece shown;           // what the bar shows in the carrier's place
    int ios = 0;           // the release's major, whose look the bar has; 0 for the full host
};

// The phone the bars are drawn for: its form and its screen's width in points and scale. With no
// width, the home-button phone of the bar's release: 375 points at 2x (320 on iOS 6's iPhone 5).
struct Screen {
    enum class Form { homeButton, notch, dynamicIsland } form = Form::homeButton;
    double points = 0;
    double scale = 2;
};

// Draws into a PNG at `file` the bars the phone shows, at its size. A home-button phone shows the
// carrier in its one bar, 20 points high: signal bars at the left (dots on iOS 7 to 10) before what
// stands in the carrier's place and the Wi-Fi symbol, the time in the middle, the battery at the
// right, and a second row of signal and name when dual SIM is on. A phone with a notch or the
// Dynamic Island shows none over apps and the home screen (the time at the left; signal, Wi-Fi and
// battery at the right), and the carrier only on the lock screen and in Control Center, whose bar is
// drawn below, labelled, with a row for each SIM. The time is fixed, so the same state always makes
// the same picture. Throws InputError when the file cannot be written. Returns the texts some glyph
// of which no font here has, drawn as boxes.
std::vector<std::string> drawStatusBar(const StatusBar &bar, const Screen &screen,
                                       const std::filesystem::path &file);

} // namespace sim
