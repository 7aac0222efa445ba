// Arbitrary bytes as the preference file, through the real load path and then through every
// reloading replacement, in a SpringBoard where every group is installed.
#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>

#include "library/activation/startup.h"
#include "library/settings/settings.h"
#include "platform/model/model.h"
#include "springboard/model_runtime.h"
#include "springboard/springboard.h"

namespace {

std::filesystem::path preferenceFile;

void write(const uint8_t *data, size_t size) {
    std::ofstream out(preferenceFile, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(data), static_cast<std::streamsize>(size));
}

PlatformId instance(const char *cls) {
    return springboard::instance(cls);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    std::string root = (std::filesystem::temp_directory_path() / "brindlewick-fuzz-XXXXXX").string();
    if (!mkdtemp(root.data())) {
        abort();
    }
    model::setDeviceRoot(root);
    preferenceFile = model::devicePath(BRINDLEWICK_PREFERENCE_PATH);
    std::filesystem::create_directories(preferenceFile.parent_path());
    static const char everyGroup[] =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><dict>"
        "<key>kEnabled</key><true/><key>k1Enabled</key><true/><key>k2Enabled</key><true/>"
        "<key>k3Enabled</key><true/><key>k4Enabled</key><true/><key>k5Enabled</key><true/></dict></plist>";
    write(reinterpret_cast<const uint8_t *>(everyGroup), sizeof everyGroup - 1);
    springboard::installOnModel();
    model::ProcessSetup process;
    process.processName = "SpringBoard";
    process.arguments = {"/System/Library/CoreServices/SpringBoard.app/SpringBoard"};
    model::setProcess(process);
    startUp();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    write(data, size);
    model::AutoreleasePool pool;
    loadPrefs();
    PlatformStrongRef name = PlatformStrongRef::adopt(model::makeString("Carrier"));
    PlatformStrongRef context = PlatformStrongRef::adopt(model::makeToken("subscription"));
    model::send(instance("SBTelephonyManager"), "setOperatorName:", name.get());
    model::send(instance("SBTelephonyManager"), "_reallySetOperatorName:", name.get());
    for (const char *cls : {"SBTelephonyManager", "STTelephonyStateProvider"}) {
        model::send(instance(cls), "_reallySetOperatorName:inSubscriptionContext:", name.get(),
                    context.get());
        (void)model::send<PlatformBool>(instance(cls), "isRadioModuleDead");
    }
    model::send(instance("STTelephonyStateProvider"), "_setOperatorName:inSubscriptionContext:", name.get(),
                context.get());
    PlatformId shown = model::send<PlatformId>(instance("SBStatusBarStateAggregator"),
                                               "_displayStringForSIMStatus:", context.get());
    // Whatever the file holds, the host is only ever handed text (or no name) to show.
    for (const char *cls : {"SBTelephonyManager", "STTelephonyStateProvider"}) {
        PlatformId received = springboard::lastOperatorName(cls).name;
        if (received && !platformIsString(received)) {
            abort();
        }
    }
    if (!platformIsString(shown)) {
        abort();
    }
    springboard::clearLog();
    return 0;
}
