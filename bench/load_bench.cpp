// What one settings load costs, next to its floor: reading the file, then parsing it.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include "bench/bench_support.h"
#include "library/settings/settings.h"
#include "platform/model/model.h"

namespace {

std::filesystem::path file;

const size_t sizes[] = {0, 4 << 10, 64 << 10, 1 << 20}; // 0: the typical file, eight keys

std::string bytesFor(benchmark::State &state) {
    auto encoding = static_cast<Encoding>(state.range(0));
    size_t size = sizes[state.range(1)];
    return preferenceBytes(encoding, size ? paddingFor(encoding, size) : 0);
}

void label(benchmark::State &state, size_t bytes) {
    static const char *const names[] = {"typical", "4KiB", "64KiB", "1MiB"};
    state.SetLabel(std::string(state.range(0) ? "binary/" : "xml/") + names[state.range(1)]);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

// Open, read whole and close: the least any load of the file does.
ssize_t readOnce(std::string &buffer) {
    int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
    ssize_t got = read(fd, buffer.data(), buffer.size());
    close(fd);
    return got;
}

void FileRead(benchmark::State &state) {
    std::string bytes = bytesFor(state);
    writeFile(file, bytes);
    std::string buffer(bytes.size() + 1, '\0');
    for (auto _ : state) {
        benchmark::DoNotOptimize(readOnce(buffer));
    }
    label(state, bytes.size());
}

void FileReadAndParse(benchmark::State &state) {
    std::string bytes = bytesFor(state);
    writeFile(file, bytes);
    std::string buffer(bytes.size() + 1, '\0');
    for (auto _ : state) {
        ssize_t got = readOnce(buffer);
        plist_t parsed = nullptr;
        plist_from_memory(buffer.data(), static_cast<uint32_t>(got), &parsed);
        benchmark::DoNotOptimize(parsed);
        plist_free(parsed);
    }
    label(state, bytes.size());
}

void LoadPrefs(benchmark::State &state) {
    std::string bytes = bytesFor(state);
    writeFile(file, bytes);
    for (auto _ : state) {
        loadPrefs();
    }
    label(state, bytes.size());
}

void sizesAndEncodings(benchmark::internal::Benchmark *benchmark) {
    for (int encoding : {0, 1}) {
        for (int size = 0; size < 4; ++size) {
            benchmark->Args({encoding, size});
        }
    }
}

BENCHMARK(FileRead)->Apply(sizesAndEncodings);
BENCHMARK(FileReadAndParse)->Apply(sizesAndEncodings);
BENCHMARK(LoadPrefs)->Apply(sizesAndEncodings);

} // namespace

int main(int argc, char **argv) {
    file = makeDevice();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(file.parent_path().parent_path().parent_path().parent_path());
}
