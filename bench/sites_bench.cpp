// One call of each replaced method, as the host makes it, with one, two or three operator-name
// layers installed (--layers=N, default 3), on one thread and on two at once. The simulated
// SpringBoard only answers, so what is measured is the library and the platform calls it makes.
#include <benchmark/benchmark.h>

#include <cstring>

#include <fcntl.h>
#include <unistd.h>

#include "bench/bench_support.h"
#include "library/activation/startup.h"
#include "library/settings/preferences.h"
#include "library/settings/settings.h"
#include "platform/model/model.h"
#include "springboard/model_runtime.h"
#include "springboard/springboard.h"

namespace {

PlatformId name;
PlatformId context;

// One message to the host, with arguments of the kinds its types name.
void send(PlatformId self, const springboard::HostMethod &method) {
    std::string types = method.types;
    if (types == "v@:@") {
        model::send(self, method.selector, name);
    } else if (types == "v@:@@") {
        model::send(self, method.selector, name, context);
    } else if (types == "v@:c") {
        model::send(self, method.selector, PlatformBool(0));
    } else if (types == "c@:") {
        benchmark::DoNotOptimize(model::send<PlatformBool>(self, method.selector));
    } else {
        benchmark::DoNotOptimize(model::send<PlatformId>(self, method.selector, context));
    }
}

std::filesystem::path preferenceFile;

// The flag that gates a group, from the one table of features.
const char *flagOf(std::string_view group) {
#define FLAG_OF(unused, flag, name, text, feature)                                                           \
    if (group == #name) {                                                                                    \
        return #flag;                                                                                        \
    }
    BRINDLEWICK_FEATURES(FLAG_OF, )
#undef FLAG_OF
    return nullptr;
}

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

// Also counts the loads a call makes (one per reloading layer it passes through), on one thread.
void callSite(benchmark::State &state, const springboard::HostMethod *method) {
    PlatformId self = springboard::instance(method->cls);
    long reads = model::dictionaryFileReads();
    for (auto _ : state) {
        model::AutoreleasePool pool;
        send(self, *method);
    }
    if (state.threads() == 1) {
        state.counters["loads"] = double(model::dictionaryFileReads() - reads) / double(state.iterations());
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
    springboard::installOnModel({}, false); // the host only answers: what is measured is the library
    model::ProcessSetup process;
    process.processName = "SpringBoard";
    process.arguments = {"/System/Library/CoreServices/SpringBoard.app/SpringBoard"};
    model::setProcess(process);
    if (layers < 3) {
        // Turn off the groups beyond the requested layers for start-up only.
        plist_t parsed = nullptr;
        plist_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size()), &parsed);
        plist_dict_set_item(parsed, flagOf("K4ENABLE"), plist_new_bool(0));
        if (layers == 1) {
            plist_dict_set_item(parsed, flagOf("K1ENABLE"), plist_new_bool(0));
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
    for (const springboard::HostMethod &method : springboard::methods()) {
        if (std::string(method.cls) != method.implementer || method.cls == std::string(springboard::bundle) ||
            !springboard::installedHost().hasMethod(method.cls, method.selector)) {
            continue; // an inherited method is measured where it is defined; the full host's only;
                      // the platform's lookup has a benchmark of its own (lookup_bench)
        }
        std::string label =
            std::string(method.cls) + " " + method.selector + "/layers:" + std::to_string(layers);
        benchmark::RegisterBenchmark(label.c_str(), &callSite, &method)
            ->Threads(1)
            ->Threads(2)
            ->UseRealTime();
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
}
