#include "tests/support/preferences.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <iterator>
#include <stdexcept>

#include "library/settings/preferences.h"
#include "platform/model/model.h"

TestDevice::TestDevice() {
    std::string pattern = (std::filesystem::temp_directory_path() / "brindlewick-device-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        throw std::runtime_error("cannot make a device root");
    }
    root_ = pattern;
    model::setDeviceRoot(root_);
    std::filesystem::create_directories(preferenceFile().parent_path());
}

TestDevice::~TestDevice() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
}

std::filesystem::path TestDevice::preferenceFile() const {
    return model::devicePath(BRINDLEWICK_PREFERENCE_PATH);
}

void TestDevice::writePreferences(PrefEntries entries, Encoding encoding) const {
    writeBytes(encodePreferences(std::move(entries), encoding));
}

void TestDevice::writeBytes(const std::string &bytes) const {
    std::filesystem::path staged = preferenceFile();
    staged += ".staged";
    {
        std::ofstream out(staged, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out) {
            throw std::runtime_error("cannot write " + staged.string());
        }
    }
    std::filesystem::rename(staged, preferenceFile());
}

void TestDevice::removePreferences() const {
    std::filesystem::remove(preferenceFile());
}

std::string fixtureBytes(const std::string &name) {
    std::ifstream in(std::filesystem::path(BRINDLEWICK_FIXTURES) / name, std::ios::binary);
    if (!in) {
        throw std::runtime_error("no fixture " + name);
    }
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}
