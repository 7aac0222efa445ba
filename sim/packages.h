// What to install for a release and a phone: the package of each jailbreak that runs there, the
// slice of it the loader takes, which features act, and the phones themselves, looked up in the facts
// the build decides from device_build/packages.json and device_build/releases.json.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "springboard/releases.h"

namespace sim {

// An iPhone as Apple names it, with its processor (A12 is 12), the releases it ran and its screen.
struct Phone {
    enum class Form { homeButton, notch, dynamicIsland };
    std::string model;
    int chip;
    springboard::Version first;
    springboard::Version last;
    Form form;
    int points;        // the screen's width
    int scale;         // pixels a point
    std::string slice; // the slice of a library its processor takes

    bool ran(const springboard::Version &release) const { return first <= release && release <= last; }
    // "iOS 12.0 to 18.7.10"
    std::string releases() const;
    // Where the carrier's name (or the SIM text) shows on it.
    std::string whereTheCarrierShows() const;
};

struct PackageChoice {
    std::string layout;       // rootful, rootless or roothide
    std::string file;         // the package file
    std::string architecture; // its Debian architecture
    std::vector<std::string> jailbreaks;
    std::string slice; // the slice the loader takes, or empty when none serves the release
    std::string whyNone;
};

struct ProcessorAnswer {
    std::string processors; // "A12 to A16", or the phone: "iPhone XS (A12)"
    std::vector<PackageChoice> packages;
};

struct FeatureAnswer {
    std::string name;
    std::string shows; // the measured cell
    bool acts;
    std::string why; // where it does nothing
};

struct PackageAnswer {
    // Set where no package serves what was asked, saying why; the features are then left out.
    std::string notServed;
    std::vector<ProcessorAnswer> processors;
    std::vector<FeatureAnswer> features;
};

class PackageFacts {
  public:
    // This build's facts, read once. Throws InputError when they cannot be read.
    static const PackageFacts &ofThisBuild();

    // The facts device_build/facts.py decided. Throws InputError when the file cannot be read or
    // holds no such facts.
    explicit PackageFacts(const std::filesystem::path &facts);

    // The phone Apple names so, letter case aside. Throws InputError for one these facts do not
    // name, naming those whose names hold what was asked.
    Phone phone(std::string_view name) const;
    std::vector<std::string> models() const;

    // For `release` on `phone`, or on every processor that ran the release when none, or on the
    // processors of `arch`'s slice.
    PackageAnswer answer(const springboard::Version &release, const std::optional<Phone> &phone,
                         const std::optional<std::string> &arch) const;
    // What each feature does on `release`, as the release table says.
    std::vector<FeatureAnswer> featuresOn(const springboard::Version &release) const;
    // The text the measurement put where a feature shows one of its own ("Moxfathom"), if any, and
    // what it stands for in a user's words ("your carrier text").
    std::optional<std::pair<std::string, std::string>> sampleOf(const std::string &feature) const;

  private:
    struct Data;
    std::shared_ptr<const Data> data_;
};

} // namespace sim
