// libplist as the simulator reads files with it (the pane, a preference file it edits, a tweak's
// filter): a root it owns, and the text of a string node.
#pragma once

#include <plist/plist.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace sim {

struct PlistFree {
    void operator()(void *node) const { plist_free(static_cast<plist_t>(node)); }
};
using Plist = std::unique_ptr<void, PlistFree>;

// The root of a property list in either encoding, or none where `bytes` hold none.
inline Plist parsePlist(std::string_view bytes) {
    plist_t root = nullptr;
    if (!bytes.empty()) {
        plist_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size()), &root);
    }
    return Plist(root);
}

// The text of a string node, or nothing where the node is none.
inline std::optional<std::string> textOf(plist_t node) {
    if (!node || plist_get_node_type(node) != PLIST_STRING) {
        return std::nullopt;
    }
    char *text = nullptr;
    plist_get_string_val(node, &text);
    std::string copy = text ? text : "";
    free(text);
    return copy;
}

} // namespace sim
