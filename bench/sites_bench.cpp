// One call of each replaced method, as the host makes it, with one, two or three operator-name
// layers installed (--layers=N, default 3), on one thread and on two at once. The host classes
// here do nothing, so what is measured is the library and the platform calls it makes.
#include <benchmark/benchmark.h>

#include <cstring>
#include <functional>
#include <map>

#include <fcntl.h>
#include <unistd.h>

#include "activation/startup.h"
#include "bench/bench_support.h"
#include "host/model/model.h"
#include "settings/settings.h"

namespace {

void setName(HostId, HostSel, HostId) {}
void setNameInContext(HostId, HostSel, HostId, HostId) {}
HostBool answerNo(HostId, HostSel) {
    return 0;
}
void store(HostId, HostSel, HostBool) {}
HostId echo(HostId, HostSel, HostId object) {
    return object;
}

std::map<std::string, HostId> instances;

void defineHost() {
    auto define = [](const char *name, const char *superclass) {
        model::Class *cls = model::defineClass(name, superclass);
        instances[name] = (new model::Object(cls))->id();
        return cls;
    };
    model::Class *manager = define("SBTelephonyManager", "NSObject");
    model::addMethod(manager, "setOperatorName:", &setName);
    model::addMethod(manager, "_reallySetOperatorName:", &setName);
    model::addMethod(manager, "_reallySetOperatorName:inSubscriptionContext:", &setNameInContext);
    model::addMethod(manager, "isRadioModuleDead", &answerNo);
    model::Class *provider = define("STTelephonyStateProvider", "NSObject");
    model::addMethod(provider, "_reallySetOperatorName:inSubscriptionContext:", &setNameInContext);
    model::addMethod(provider, "_setOperatorName:inSubscriptionContext:", &setNameInContext);
    model::addMethod(provider, "isRadioModuleDead", &answerNo);
    model::addMethod(provider, "setCachedDualSIMEnabled:", &store);
    model::addMethod(define("SBStatusBarStateAggregator", "NSObject"), "_displayStringForSIMStatus:", &echo);
    model::Class *data = define("STTelephonyStatusDomainData", "NSObject");
    model::addMethod(data, "_otherSIMInfoIfSIMPresent:", &echo);
    model::addMethod(data, "isDualSIMEnabled", &answerNo);
    model::addMethod(define("STMutableTelephonyStatusDomainData", "STTelephonyStatusDomainData"),
                     "setDualSIMEnabled:", &store);
}

HostId name;
HostId context;

struct Site {
    const char *cls;
    const char *selector;
    std::function<void(HostId)> call;
};

const std::vector<Site> sites = {
    {"SBTelephonyManager",
     "setOperatorName:", [](HostId self) { model::send(self, "setOperatorName:", name); }},
    {"SBTelephonyManager",
     "_reallySetOperatorName:", [](HostId self) { model::send(self, "_reallySetOperatorName:", name); }},
    {"SBTelephonyManager", "_reallySetOperatorName:inSubscriptionContext:",
     [](HostId self) { model::send(self, "_reallySetOperatorName:inSubscriptionContext:", name, context); }},
    {"STTelephonyStateProvider", "_reallySetOperatorName:inSubscriptionContext:",
     [](HostId self) { model::send(self, "_reallySetOperatorName:inSubscriptionContext:", name, context); }},
    {"STTelephonyStateProvider", "_setOperatorName:inSubscriptionContext:",
     [](HostId self) { model::send(self, "_setOperatorName:inSubscriptionContext:", name, context); }},
    {"SBStatusBarStateAggregator", "_displayStringForSIMStatus:",
     [](HostId self) {
         benchmark::DoNotOptimize(model::send<HostId>(self, "_displayStringForSIMStatus:", context));
     }},
    {"STTelephonyStateProvider", "isRadioModuleDead",
     [](HostId self) { benchmark::DoNotOptimize(model::send<HostBool>(self, "isRadioModuleDead")); }},
    {"SBTelephonyManager", "isRadioModuleDead",
     [](HostId self) { benchmark::DoNotOptimize(model::send<HostBool>(self, "isRadioModuleDead")); }},
    {"STTelephonyStatusDomainData", "_otherSIMInfoIfSIMPresent:",
     [](HostId self) {
         benchmark::DoNotOptimize(model::send<HostId>(self, "_otherSIMInfoIfSIMPresent:", context));
     }},
    {"STTelephonyStatusDomainData", "isDualSIMEnabled",
     [](HostId self) { benchmark::DoNotOptimize(model::send<HostBool>(self, "isDualSIMEnabled")); }},
    {"STTelephonyStateProvider", "setCachedDualSIMEnabled:",
     [](HostId self) { model::send(self, "setCachedDualSIMEnabled:", HostBool(0)); }},
    {"STMutableTelephonyStatusDomainData",
     "setDualSIMEnabled:", [](HostId self) { model::send(self, "setDualSIMEnabled:", HostBool(0)); }},
};

std::filesystem::path preferenceFile;

// The floor and the load themselves, so that their scaling over threads reads beside the sites'.
void floorReadAndParse(benchmark::State &state) {
    std::string buffer(1 << 16, '\0');
    for (auto _ : state) {
        int fd = open(preferenceFile.c_str(), O_RDONLY | O_CLOEXEC);
        ssize_t got = read(fd, buffer.data(), buffer.size());
        close(fd);
        plist_t parsed = nullptr;
        plist_from_memory(buffer.data(), static_cast<uint32_t>(got), &parsed);
        plist_free(parsed);
    }
    state.SetItemsProcessed(state.iterations());
}

void load(benchmark::State &state) {
    for (auto _ : state) {
        loadPrefs();
    }
    state.SetItemsProcessed(state.iterations());
}

void callSite(benchmark::State &state, const Site *site) {
    HostId self = instances.at(site->cls);
    for (auto _ : state) {
        model::AutoreleasePool pool;
        site->call(self);
    }
    state.SetItemsProcessed(state.iterations());
}

} // namespace

int main(int argc, char **argv) {
    int layers = 3;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--layers=", 9) == 0) {
            layers = std::atoi(argv[i] + 9);
        }
    }
    if (layers < 1 || layers > 3) {
        std::fprintf(stderr, "sites_bench: --layers is 1, 2 or 3\n");
        return 2;
    }
    std::filesystem::path file = makeDevice();
    preferenceFile = file;
    // The operator-name layers are the custom text, then no name, then the Wi-Fi address; the
    // other groups are always on so that their sites are measured too.
    std::string bytes = preferenceBytes(Encoding::binary, 0);
    writeFile(file, bytes);
    defineHost();
    model::ProcessSetup process;
    process.processName = "SpringBoard";
    process.arguments = {"/System/Library/CoreServices/SpringBoard.app/SpringBoard"};
    model::setProcess(process);
    if (layers < 3) {
        // Turn off the groups beyond the requested layers for start-up only.
        plist_t parsed = nullptr;
        plist_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size()), &parsed);
        plist_dict_set_item(parsed, "k4Enabled", plist_new_bool(0));
        if (layers == 1) {
            plist_dict_set_item(parsed, "k1Enabled", plist_new_bool(0));
        }
        char *start = nullptr;
        uint32_t length = 0;
        plist_to_bin(parsed, &start, &length);
        writeFile(file, std::string(start, length));
        free(start);
        plist_free(parsed);
    }
    startUp();
    writeFile(file, bytes); // every installed layer now finds its flag on
    name = model::makeString("Carrier");
    context = model::makeToken("subscription");
    benchmark::RegisterBenchmark(("floor read+parse/layers:" + std::to_string(layers)).c_str(),
                                 &floorReadAndParse)
        ->Threads(1)
        ->Threads(2)
        ->UseRealTime();
    benchmark::RegisterBenchmark(("loadPrefs/layers:" + std::to_string(layers)).c_str(), &load)
        ->Threads(1)
        ->Threads(2)
        ->UseRealTime();
    for (const Site &site : sites) {
        std::string label = std::string(site.cls) + " " + site.selector + "/layers:" + std::to_string(layers);
        benchmark::RegisterBenchmark(label.c_str(), &callSite, &site)->Threads(1)->Threads(2)->UseRealTime();
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
}
