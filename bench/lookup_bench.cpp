// The localized-text lookup on the host of iOS 16, which every text of a process passes through:
// a lookup of another table, and one of a SIM text, by a message as the host sends it. With
// --replaced the library has started first and replaced the lookup (every flag on); without, the
// host's own method answers. tools/bench runs both, each in a process of its own, and sets them side
// by side.
#include <benchmark/benchmark.h>

#include <cstring>

#include "bench/bench_support.h"
#include "library/activation/startup.h"
#include "platform/model/model.h"
#include "springboard/model_runtime.h"
#include "springboard/springboard.h"

namespace {

struct Lookup {
    PlatformId key;
    PlatformId table;
};

void lookUp(benchmark::State &state, Lookup lookup) {
    PlatformId bundle = springboard::instance(springboard::bundle);
    PlatformSel selector = model::selector(springboard::sel::lookUpText);
    long reads = model::dictionaryFileReads();
    for (auto _ : state) {
        model::AutoreleasePool pool;
        benchmark::DoNotOptimize(
            model::send<PlatformId>(bundle, selector, lookup.key, PlatformId(nullptr), lookup.table));
    }
    state.counters["loads"] = double(model::dictionaryFileReads() - reads) / double(state.iterations());
}

PlatformId constant(const char *text) {
    return __CFStringMakeConstantString(text);
}

} // namespace

int main(int argc, char **argv) {
    bool replaced = false;
    for (int i = 1; i < argc; ++i) {
        replaced = replaced || std::strcmp(argv[i], "--replaced") == 0;
    }
    writeFile(makeDevice(), preferenceBytes(Encoding::binary, 0));
    springboard::installOnModel({}, false, springboard::hostOf(springboard::Version{16, 6, 0}, true));
    model::ProcessSetup process;
    process.processName = "SpringBoard";
    process.arguments = {"/System/Library/CoreServices/SpringBoard.app/SpringBoard"};
    model::setProcess(process);
    if (replaced) {
        startUp();
    }
    std::string by = replaced ? "/replaced" : "/own";
    // The host's tables are constant strings, as compiled code's literals are.
    benchmark::RegisterBenchmark(("another table" + by).c_str(), &lookUp,
                                 Lookup{constant("Title"), constant("Localizable")});
    benchmark::RegisterBenchmark(("a SIM text" + by).c_str(), &lookUp,
                                 Lookup{constant("NO_SIM"), constant(springboard::telephonyTable)});
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
}
