// Which processes the library serves.
#include <gtest/gtest.h>

#include "activation/eligibility.h"
#include "host/model/model.h"
#include "tests/support/fresh_process.h"

namespace {

struct Case {
    const char *processName; // null: no name reported
    std::vector<std::string> arguments;
    bool eligible;
};

bool decide(const Case &c) {
    model::AutoreleasePool pool;
    model::ProcessSetup setup;
    if (c.processName) {
        setup.processName = c.processName;
    }
    setup.arguments = c.arguments;
    model::setProcess(setup);
    return processIsEligible();
}

const std::string app = "/var/containers/Bundle/Application/0A1B/Maps.app/Maps";

TEST(ProcessIsEligible, SpringBoardOutweighsEveryExclusionButNeedsAPath) {
    for (const Case &c : {
             Case{"SpringBoard", {"/System/Library/CoreServices/SpringBoard.app/SpringBoard"}, true},
             Case{"SpringBoard", {"/Applications/X.appex/FileProviderThing"}, true},
             Case{"SpringBoard", {"/Applications/InCallService.app/InCallService"}, true},
             Case{"SpringBoard", {}, false},
             Case{"springboard", {"/System/Library/CoreServices/SpringBoard.app/SpringBoard"}, false},
         }) {
        EXPECT_EQ(decide(c), c.eligible) << (c.processName ? c.processName : "(none)") << " "
                                         << (c.arguments.empty() ? "(no arguments)" : c.arguments[0]);
    }
}

TEST(ProcessIsEligible, ApplicationsAreServedUnlessExcluded) {
    for (const Case &c : {
             Case{"Maps", {app}, true},
             Case{nullptr, {app}, true},
             Case{"Mail", {"/Applications/MobileMail.app/MobileMail"}, true},
             Case{"x", {"/private/var/Application/Thing/App"}, true},
             Case{"x", {"/var/ApplicationSupport/Tool"}, false},
             Case{"x", {"/usr/libexec/Applicationsd"}, false},
             Case{"x", {"/Applications/Files.app/PlugIns/Provider.appex/Provider"}, false},
             Case{"x", {"/Applications/Files.app/Provider.appex"}, true},
             Case{"x", {"/Applications/Files.app/MyFileProvider"}, false},
             Case{"x", {"/Applications/Files.app/FILEPROVIDERd"}, false},
             Case{"x", {"/Applications/AdSheet.app/AdSheet"}, false},
             Case{"x", {"/Applications/CoreAuthUI.app/CoreAuthUI"}, false},
             Case{"x", {"/Applications/InCallService.app/InCallService"}, false},
             Case{"x", {"/Applications/M.app/MessagesNotificationViewService"}, false},
             Case{"x", {"/Applications/InCallService.app/incallservice"}, true},
             Case{"x", {"/Applications/AdSheet.app/ADSHEET"}, true},
         }) {
        EXPECT_EQ(decide(c), c.eligible) << c.arguments[0];
    }
}

TEST(ProcessIsEligible, WithoutProcessInformationOrItsClassNothingIsServed) {
    inFreshProcess([] {
        model::AutoreleasePool pool;
        model::ProcessSetup setup;
        setup.processName = "SpringBoard";
        setup.arguments = {"/System/Library/CoreServices/SpringBoard.app/SpringBoard"};
        model::setProcess(setup);
        EXPECT_TRUE(processIsEligible());

        setup.classFindableByName = false; // the arguments come through the class found by name
        model::setProcess(setup);
        EXPECT_FALSE(processIsEligible());

        setup.classFindableByName = true;
        setup.hasProcessInfo = false;
        model::setProcess(setup);
        EXPECT_FALSE(processIsEligible());
    });
}

} // namespace
