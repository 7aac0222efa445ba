#include "sim/settings_pane.h"

#include "platform/model/model.h"
#include "sim/plist_nodes.h"
#include "sim/preference_file.h"

namespace sim {
namespace {

std::string stringAt(plist_t dictionary, const char *key) {
    return textOf(plist_dict_get_item(dictionary, key)).value_or("");
}

plist_t valueNode(const PaneCell &cell, const Value &value) {
    if (cell.kind == PaneCell::Kind::text) {
        if (value.kind != Value::Kind::text) {
            throw InputError(cell.key + " takes \"text\", not " + formatValue(value));
        }
        // Settings' text fields cannot hold a NUL, and the file would keep only the text before it.
        if (value.text.find('\0') != std::string::npos) {
            throw InputError(cell.key + " takes text without a NUL character, not " + formatValue(value));
        }
        return plist_new_string(value.text.c_str());
    }
    switch (value.kind) {
    case Value::Kind::yes:
        return plist_new_bool(1);
    case Value::Kind::no:
        return plist_new_bool(0);
    case Value::Kind::integer:
        return plist_new_uint(static_cast<uint64_t>(value.integer));
    default:
        throw InputError(cell.key + " takes YES, NO or an integer, not " + formatValue(value));
    }
}

// PreferenceLoader's filter on kCFCoreFoundationVersionNumber: `pl_filter` {CoreFoundationVersion
// = (lowest, below)}, the upper bound left out for "and later".
std::vector<double> coreFoundationFilter(plist_t item) {
    plist_t filter = plist_dict_get_item(item, "pl_filter");
    plist_t range = filter ? plist_dict_get_item(filter, "CoreFoundationVersion") : nullptr;
    std::vector<double> bounds;
    for (uint32_t i = 0;
         range && plist_get_node_type(range) == PLIST_ARRAY && i < plist_array_get_size(range); ++i) {
        double bound = 0;
        plist_get_real_val(plist_array_get_item(range, i), &bound);
        bounds.push_back(bound);
    }
    return bounds;
}

} // namespace

bool PaneCell::shownAt(std::optional<double> version) const {
    if (!version || coreFoundation.empty()) {
        return true;
    }
    return *version >= coreFoundation[0] && (coreFoundation.size() < 2 || *version < coreFoundation[1]);
}

std::vector<PaneCell> loadPane(const std::filesystem::path &file) {
    std::optional<std::string> bytes = readRegularFile(file);
    Plist pane = bytes ? parsePlist(*bytes) : Plist(nullptr);
    plist_t items = pane ? plist_dict_get_item(pane.get(), "items") : nullptr;
    if (!items || plist_get_node_type(items) != PLIST_ARRAY) {
        throw InputError("cannot read the settings pane " + file.string());
    }
    std::vector<PaneCell> cells;
    std::string group;
    for (uint32_t i = 0; i < plist_array_get_size(items); ++i) {
        plist_t item = plist_array_get_item(items, i);
        std::string kind = stringAt(item, "cell");
        if (kind == "PSGroupCell") {
            group = stringAt(item, "label");
            cells.push_back({group, group, "", PaneCell::Kind::group, stringAt(item, "footerText"),
                             coreFoundationFilter(item)});
        } else if (kind == "PSSwitchCell" || kind == "PSEditTextCell") {
            cells.push_back({group, stringAt(item, "label"), stringAt(item, "key"),
                             kind == "PSSwitchCell" ? PaneCell::Kind::truth : PaneCell::Kind::text, "",
                             coreFoundationFilter(item)});
        }
    }
    return cells;
}

namespace {

// Whether the file holds a text with a NUL character, which libplist, writing it back, would cut short.
bool holdsTextWithNul(std::string_view bytes) {
    model::PropertyListReading reading = model::readPropertyList(bytes);
    model::Ref::adopt(reading.dictionary);
    return reading.textWithNul;
}

} // namespace

void editPreference(const std::filesystem::path &file, const PaneCell &cell,
                    const std::optional<Value> &value) {
    Plist node(value ? valueNode(cell, *value) : nullptr);
    std::filesystem::path target = writtenPath(file);
    std::optional<std::string> bytes = readRegularFile(target);
    Plist dictionary(bytes ? parsePlist(*bytes) : Plist(plist_new_dict()));
    if (!dictionary || plist_get_node_type(dictionary.get()) != PLIST_DICT) {
        throw InputError(file.string() + " is not a property-list dictionary; it was left as it is");
    }
    if (bytes && holdsTextWithNul(*bytes)) {
        throw InputError(file.string() +
                         " holds a text with a NUL character, which a rewrite would cut short; " +
                         "it was left as it is");
    }
    if (node) {
        plist_dict_set_item(dictionary.get(), cell.key.c_str(), node.release());
    } else if (plist_dict_get_item(dictionary.get(), cell.key.c_str())) {
        plist_dict_remove_item(dictionary.get(), cell.key.c_str());
    }
    char *encoded = nullptr;
    uint32_t length = 0;
    plist_to_bin(dictionary.get(), &encoded, &length);
    std::string encodedBytes(encoded, length);
    free(encoded);
    replaceAtomically(target, encodedBytes);
}

PlatformId lookUp(PlatformId dictionary, const std::string &key) {
    model::Ref name = model::Ref::adopt(model::makeString(key));
    return model::send<PlatformId>(dictionary, "objectForKey:", name.get());
}

bool paneShowsOn(PlatformId value) {
    return model::respondsTo(value, model::selector("boolValue")) &&
           model::send<PlatformBool>(value, "boolValue");
}

} // namespace sim
