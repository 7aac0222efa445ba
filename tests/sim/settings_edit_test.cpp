// The simulator's settings edits, as the device's pane makes them: the file written whole and
// atomically, and nothing written where the input is bad or the root cannot take it.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <sstream>

#include "platform/model/model.h"
#include "tests/sim/simulator_driving.h"
#include "tests/support/library_host.h"
#include "tests/support/preferences.h"
#include "tests/support/process.h"

namespace {

std::string fileBytes(const TestDevice &device) {
    std::ifstream in(device.preferenceFile(), std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(SettingsEdits, SetWritesAWholeBinaryFileKeepingTheOtherKeys) {
    TestDevice device;
    device.writePreferences({{"k3Enabled", yes()}, {"unrelated", text("kept")}}, Encoding::xml);
    std::vector<std::string> arguments =
        on(device, {"set kEnabled YES", "set customtextEnabled \"Caf\\xc3\\xa9\"", "set k4Enabled 2",
                    "unset k3Enabled", "unset k1Enabled"});
    arguments.insert(arguments.begin(), "--json");
    Finished run = runProgram(simulator, arguments);
    ASSERT_EQ(run.status, 0) << run.err;
    // Each says when it shows: the radio's group is the only one this host started with.
    std::vector<std::string> kinds;
    std::istringstream lines(run.out);
    for (std::string line; std::getline(lines, line);) {
        kinds.push_back(nlohmann::json::parse(line).at("shows"));
    }
    EXPECT_EQ(kinds, (std::vector<std::string>{"after-respring", "after-respring", "after-respring",
                                               "when-asked", "after-respring"}));
    std::string bytes = fileBytes(device);
    EXPECT_EQ(bytes.substr(0, 8), "bplist00");
    PlatformStrongRef prefs = PlatformStrongRef::adopt(model::readPropertyListDictionary(bytes));
    ASSERT_NE(prefs.get(), nullptr);
    EXPECT_EQ(platformBoolValue(platformObjectForKey(prefs.get(), "kEnabled")), 1);
    EXPECT_EQ(model::stringValue(platformObjectForKey(prefs.get(), "customtextEnabled")), "Caf\u00e9");
    EXPECT_EQ(model::object(platformObjectForKey(prefs.get(), "k4Enabled"))->describe(), "2");
    EXPECT_EQ(runProgram(simulator, on(device, {"set k4Enabled -1"})).status, 0); // a signed integer, kept so
    PlatformStrongRef negative =
        PlatformStrongRef::adopt(model::readPropertyListDictionary(fileBytes(device)));
    EXPECT_EQ(model::object(platformObjectForKey(negative.get(), "k4Enabled"))->describe(), "-1");
    EXPECT_EQ(platformObjectForKey(prefs.get(), "k3Enabled"), nullptr);
    EXPECT_EQ(model::stringValue(platformObjectForKey(prefs.get(), "unrelated")), "kept");
    size_t files = 0;
    for ([[maybe_unused]] const auto &entry :
         std::filesystem::directory_iterator(device.preferenceFile().parent_path())) {
        ++files;
    }
    EXPECT_EQ(files, 1u); // nothing staged is left behind
}

TEST(SettingsEdits, BadInputLeavesTheFileAsItWas) {
    TestDevice device;
    device.writePreferences({{"kEnabled", yes()}});
    std::string before = fileBytes(device);
    Finished run = runProgram(simulator, on(device, {"set kEnabled \"on\"", "set customtextEnabled YES",
                                                     "set colour 1", "unset", "set kEnabled"}));
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("command 3: unknown key colour"), std::string::npos) << run.err;
    EXPECT_EQ(fileBytes(device), before);

    device.writeBytes("not a property list");
    Finished corrupt = runProgram(simulator, on(device, {"set kEnabled NO"}));
    EXPECT_EQ(corrupt.status, 2);
    EXPECT_NE(corrupt.err.find("left as it is"), std::string::npos) << corrupt.err;
    EXPECT_EQ(fileBytes(device), "not a property list");
}

TEST(SettingsEdits, AnUnwritableRootIsReportedAndNothingIsWritten) {
    TestDevice device;
    std::filesystem::remove_all(device.root() / "User");
    std::ofstream(device.root() / "User") << "a file where a folder should be";
    Finished run = runProgram(simulator, on(device, {"set kEnabled YES"}));
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("cannot write"), std::string::npos) << run.err;
    EXPECT_TRUE(std::filesystem::is_regular_file(device.root() / "User"));
}

} // namespace
