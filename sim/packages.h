// What to install for a release and a phone: the package of each jailbreak that runs there, the
// slice of it the loader takes, and which features act, from the facts the device build and the
// release table keep (packaging/packages.json, packaging/releases.json).
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "sim/springboard/releases.h"

namespace sim {

struct PackageChoice {
    std::string layout;       // rootful, rootless or roothide
    std::string file;         // the package file
    std::string architecture; // its Debian architecture
    std::vector<std::string> jailbreaks;
    std::string slice; // the slice the loader takes, or empty when none serves the release
    std::string whyNone;
};

struct ProcessorAnswer {
    std::string processors; // "A12 and later", or the phone: "iPhone XS (A12)"
    std::vector<PackageChoice> packages;
};

struct FeatureAnswer {
    std::string name;
    std::string shows; // the measured cell
    bool acts;
    std::string why; // where it does nothing
};

struct PackageAnswer {
    std::vector<ProcessorAnswer> processors;
    std::vector<FeatureAnswer> features;
};

class PackageFacts {
  public:
    // Throws InputError when a file cannot be read or holds no such facts.
    PackageFacts(const std::filesystem::path &packages, const std::filesystem::path &releases,
                 std::string version);

    // For `release` on `device` (a model the facts name), or on every processor when none, or on
    // the processors of `arch`'s slice. Throws InputError for a model they do not name, or one
    // that never ran `release`.
    PackageAnswer answer(const springboard::Version &release, const std::optional<std::string> &device,
                         const std::optional<std::string> &arch) const;
    std::vector<std::string> models() const;

  private:
    struct Data;
    std::shared_ptr<const Data> data_;
};

} // namespace sim
