// The simulator's settings edits, as the device's pane makes them: the file written whole and
// atomically, the change announced, and another process on the root seeing it.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>

#include "host/model/model.h"
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
    Finished run =
        runProgram(simulator, on(device, {"set kEnabled YES", "set customtextEnabled \"Caf\\xc3\\xa9\"",
                                          "set k4Enabled 2", "unset k3Enabled", "unset k1Enabled"}));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
              "set kEnabled YES\nset customtextEnabled \"Caf\u00e9\"\nset k4Enabled 2\nunset k3Enabled\n"
              "unset k1Enabled\n");
    std::string bytes = fileBytes(device);
    EXPECT_EQ(bytes.substr(0, 8), "bplist00");
    HostStrongRef prefs = HostStrongRef::adopt(model::readPropertyListDictionary(bytes));
    ASSERT_NE(prefs.get(), nullptr);
    EXPECT_EQ(hostBoolValue(hostObjectForKey(prefs.get(), "kEnabled")), 1);
    EXPECT_EQ(model::stringValue(hostObjectForKey(prefs.get(), "customtextEnabled")), "Caf\u00e9");
    EXPECT_EQ(model::object(hostObjectForKey(prefs.get(), "k4Enabled"))->describe(), "2");
    EXPECT_EQ(hostObjectForKey(prefs.get(), "k3Enabled"), nullptr);
    EXPECT_EQ(model::stringValue(hostObjectForKey(prefs.get(), "unrelated")), "kept");
    size_t files = 0;
    for ([[maybe_unused]] const auto &entry :
         std::filesystem::directory_iterator(device.preferenceFile().parent_path())) {
        ++files;
    }
    EXPECT_EQ(files, 1u); // nothing staged is left behind
}

TEST(SettingsEdits, ThePaneShowsEachCellWithTheFilesValueOrItsDefault) {
    TestDevice device;
    Finished empty = runProgram(simulator, on(device, {"--json", "pane"}));
    ASSERT_EQ(empty.status, 0) << empty.err;
    auto cells = nlohmann::json::parse(empty.out)["cells"];
    ASSERT_EQ(cells.size(), 8u);
    EXPECT_EQ(cells[0]["key"], "kEnabled");
    EXPECT_EQ(cells[0]["value"], false);
    EXPECT_EQ(cells[1]["key"], "customtextEnabled");
    EXPECT_EQ(cells[1]["value"], "");

    device.writePreferences({{"kEnabled", plist_new_string("yes")}, {"customtextEnabled", text("Mine")}});
    Finished shown = runProgram(simulator, on(device, {"pane"}));
    EXPECT_EQ(
        shown.out.rfind("Carrier name: Custom carrier text on, Carrier text \"Mine\" | No carrier: ", 0), 0u)
        << shown.out;
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

TEST(SettingsEdits, AnotherProcessOnTheRootSeesTheChange) {
    TestDevice device;
    device.writePreferences({{"kEnabled", yes()}, {"customtextEnabled", text("One")}});
    RunningProgram springBoard(simulator, on(device, {}));
    EXPECT_EQ(springBoard.ask("call SBTelephonyManager setOperatorName: \"Net\""), "received \"One\"");
    long before = preferenceReads(springBoard);

    Finished settings = runProgram(simulator, on(device, {"--no-library", "set customtextEnabled \"Two\""}));
    ASSERT_EQ(settings.status, 0) << settings.err;

    EXPECT_EQ(readsAbove(springBoard, before), before + 1) << "the change notification did not arrive";
    EXPECT_EQ(springBoard.ask("call SBTelephonyManager setOperatorName: \"Net\""), "received \"Two\"");
    EXPECT_NE(springBoard.ask("pane").find("Carrier text \"Two\""), std::string::npos);
    EXPECT_EQ(springBoard.finish(), 0);
}

} // namespace
