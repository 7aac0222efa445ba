// A simulated device for tests: a temporary root holding the preference file the library reads,
// written as the device's preferences service writes it.
#pragma once

#include <filesystem>
#include <string>

#include "platform/model/plist_writer.h"

class TestDevice {
  public:
    // Makes a fresh root and points the model's file system at it.
    TestDevice();
    TestDevice(const TestDevice &) = delete;
    TestDevice &operator=(const TestDevice &) = delete;
    ~TestDevice();

    const std::filesystem::path &root() const { return root_; }
    std::filesystem::path preferenceFile() const;

    // Replaces the file atomically with a dictionary of `entries`; takes over the plist values.
    void writePreferences(PrefEntries entries, Encoding encoding = Encoding::binary) const;
    // Replaces the file atomically with exactly these bytes.
    void writeBytes(const std::string &bytes) const;
    void removePreferences() const;

  private:
    std::filesystem::path root_;
};

// A fixture file kept under tests/fixtures.
std::string fixtureBytes(const std::string &name);
