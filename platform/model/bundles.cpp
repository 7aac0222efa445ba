// Foundation's bundles, as far as a host's localized texts need them: a bundle holds tables of
// texts by key, and bundleForClass: answers the bundle a class was given, or the main bundle.
#include <map>
#include <mutex>

#include "platform/model/foundation_kinds.h"

namespace model {
namespace {

// Never freed, as a loaded bundle is never unloaded: its texts are handed out at +0.
class Bundle : public Object {
  public:
    Bundle() : Object(foundation().bundle) { makeImmortal(); }
    ~Bundle() override = default;

    // The text under `key` in `table`, or null.
    PlatformId text(const std::string &table, const std::string &key) const {
        std::lock_guard guard(lock_);
        auto found = tables_.find(table);
        if (found == tables_.end()) {
            return nullptr;
        }
        auto text = found->second.find(key);
        return text == found->second.end() ? nullptr : text->second;
    }
    void setTable(const std::string &table, const std::vector<std::pair<std::string, std::string>> &texts) {
        std::map<std::string, PlatformId> made;
        for (const auto &[key, text] : texts) {
            made[key] = String::constant(text)->id();
        }
        std::lock_guard guard(lock_);
        tables_[table] = std::move(made);
    }

  private:
    mutable std::mutex lock_;
    std::map<std::string, std::map<std::string, PlatformId>> tables_;
};

struct Bundles {
    std::mutex lock;
    Bundle *main = nullptr;
    std::map<std::string, Bundle *, std::less<>> byClass;
};

Bundles &bundles() {
    static auto *all = new Bundles;
    return *all;
}

Bundle *mainBundle() {
    Bundles &all = bundles();
    std::lock_guard guard(all.lock);
    if (!all.main) {
        all.main = new Bundle;
    }
    return all.main;
}

PlatformId bundleForClass(PlatformId, PlatformSel, PlatformClass cls) {
    if (cls) {
        Bundles &all = bundles();
        std::lock_guard guard(all.lock);
        auto found = all.byClass.find(classOf(cls)->name());
        if (found != all.byClass.end()) {
            return found->second->id();
        }
    }
    return mainBundle()->id();
}

PlatformId mainBundleOf(PlatformId, PlatformSel) {
    return mainBundle()->id();
}

// Foundation's answer: the table's text for the key; where the table has none, the value unless
// it is nil or empty, else the key; for a nil key, the value, or an empty string. A nil table is
// "Localizable".
PlatformId localizedString(PlatformId self, PlatformSel, PlatformId key, PlatformId value, PlatformId table) {
    const Bundle &bundle = as<Bundle>(self, "localizedStringForKey:value:table:");
    std::optional<std::string> name = stringValue(key);
    if (name) {
        if (PlatformId text = bundle.text(stringValue(table).value_or("Localizable"), *name)) {
            return text;
        }
    }
    if (value && stringValue(value) != "") {
        return value;
    }
    return key ? key : autorelease(makeString(""));
}

} // namespace

void addBundleMethods(Class *cls) {
    addClassMethod(cls, "bundleForClass:", &bundleForClass);
    addClassMethod(cls, "mainBundle", &mainBundleOf);
    addMethod(cls, "localizedStringForKey:value:table:", &localizedString);
}

void addLocalizedTable(const std::vector<std::string> &classes, const std::string &table,
                       const std::vector<std::pair<std::string, std::string>> &texts) {
    Bundles &all = bundles();
    Bundle *bundle = nullptr;
    {
        std::lock_guard guard(all.lock);
        for (const std::string &cls : classes) {
            if (auto found = all.byClass.find(cls); found != all.byClass.end()) {
                bundle = found->second;
            }
        }
        if (!bundle) {
            bundle = new Bundle;
        }
        for (const std::string &cls : classes) {
            all.byClass[cls] = bundle;
        }
    }
    bundle->setTable(table, texts);
}

} // namespace model
