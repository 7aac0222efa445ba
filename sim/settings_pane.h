// The device's settings pane, read from the same file the package installs, and the edits it
// makes to the preference file.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/objects.h"
#include "sim/command_line.h"

namespace sim {

struct PaneCell {
    std::string group;
    std::string label;
    std::string key;
    enum class Kind { truth, text, group } kind;
    std::string footer;                 // a group's
    std::vector<double> coreFoundation; // its PreferenceLoader filter: [lowest] or [lowest, below]

    // Whether Settings shows it where kCFCoreFoundationVersionNumber is `version`; with none, as
    // the full host, everywhere.
    bool shownAt(std::optional<double> version) const;
};

// The pane's group, switch and text cells, in order. Throws InputError when the file is not a pane.
std::vector<PaneCell> loadPane(const std::filesystem::path &file);

// Writes `key` (or removes it, for no value) as the preferences service does: the whole file,
// in binary encoding, replaced atomically as the same file (see preference_file.h). Throws
// InputError before any change for a value of the wrong kind or a text with a NUL, an existing
// file that is not a readable property-list dictionary or that holds a text with a NUL, or a file
// that cannot be written.
void editPreference(const std::filesystem::path &file, const PaneCell &cell,
                    const std::optional<Value> &value);

// The pane's own reading of the file, as Settings reads it, none of it the library's: the value
// of `key` in a dictionary, and whether a switch shows it as on.
PlatformId lookUp(PlatformId dictionary, const std::string &key);
bool paneShowsOn(PlatformId value);

} // namespace sim
