#include "sim/features.h"

#include "library/settings/preferences.h"

namespace sim {
namespace {

// A row's text as a C string, or null where the row has none: its parentheses unwrapped first.
#define TEXT_NAME(text) TEXT_NAME_OR_NULL(BRINDLEWICK_UNWRAP text)
#define TEXT_NAME_OR_NULL(...) TEXT_NAME_FIRST(__VA_OPT__(STRINGIFY(__VA_ARGS__), ) nullptr)
#define TEXT_NAME_FIRST(first, ...) first
#define STRINGIFY(name) #name
#define FEATURE_ROW(unused, flag, group, text, name) {#flag, #group, TEXT_NAME(text), name},
const std::vector<Feature> table = {BRINDLEWICK_FEATURES(FEATURE_ROW, )};

} // namespace

const std::vector<Feature> &features() {
    return table;
}

const Feature *featureOfKey(std::string_view key) {
    for (const Feature &feature : table) {
        if (key == feature.flag || (feature.text && key == feature.text)) {
            return &feature;
        }
    }
    return nullptr;
}

} // namespace sim
