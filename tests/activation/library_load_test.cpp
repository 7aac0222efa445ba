// The built library, loaded with dlopen into a prepared host as the loader maps it: its own
// initializer does the start-up.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include "host/model/model.h"
#include "tests/support/fresh_process.h"
#include "tests/support/library_host.h"

namespace {

void prepareSpringBoard() {
    model::telephony::install();
    model::ProcessSetup process;
    process.processName = "SpringBoard";
    process.arguments = {"/System/Library/CoreServices/SpringBoard.app/SpringBoard"};
    model::setProcess(process);
}

TEST(LibraryLoad, TheInitializerStartsTheLibraryInTheHost) {
    inFreshProcess([] {
        TestDevice device;
        prepareSpringBoard();
        device.writePreferences({{"kEnabled", yes()}, {"customtextEnabled", text("Loaded")}});
        ASSERT_TRUE(model::hookRecords().empty());

        void *library = dlopen(BRINDLEWICK_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(library, nullptr) << dlerror();
        EXPECT_EQ(model::hookRecords().size(), 5u);
        EXPECT_EQ(model::observerRegistrations().size(), 1u);

        model::AutoreleasePool pool;
        HostStrongRef name = HostStrongRef::adopt(model::makeString("Carrier"));
        HostStrongRef context = HostStrongRef::adopt(model::makeToken("subscription"));
        hostCall("STTelephonyStateProvider", "_setOperatorName:inSubscriptionContext:", name.get(),
                 context.get());
        EXPECT_EQ(model::stringValue(
                      hostReceived("STTelephonyStateProvider", "_setOperatorName:inSubscriptionContext:")),
                  "Loaded");
    });
}

TEST(LibraryLoad, TheLibraryExportsNoEntryOfItsOwn) {
    inFreshProcess([] {
        TestDevice device;
        prepareSpringBoard();
        void *library = dlopen(BRINDLEWICK_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(library, nullptr) << dlerror();
        for (const char *symbol :
             {"loadPrefs", "startUp", "_Z9loadPrefsv", "_Z7startUpv", "receivedNotification"}) {
            EXPECT_EQ(dlsym(library, symbol), nullptr) << symbol;
        }
        EXPECT_TRUE(model::hookRecords().empty()); // no file on this device
    });
}

} // namespace
