// Speed of the catalogue read, the index rewrite and a transfer, on large caches.

#include "catalogue/CacheIndex.h"
#include "platform/Text.h"
#include "runtime/Globals.h"
#include "support/NullView.h"
#include "transfer/Transfer.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const char* const Tails[] = {".unr", ".u", ".utx", ".int", ".uax", ".umx"};

std::string IndexBytes(int lines) {
    std::string bytes = "[Cache]\r\n";
    for (int i = 0; i < lines; ++i) {
        bytes += "3F2A9C" + std::to_string(i) + "B71E0D=Package" + std::to_string(i) +
                 Tails[i % 6] + "\r\n";
    }
    return bytes;
}

// A game folder of its own under /tmp, removed when the benchmark ends.
class BenchGame {
public:
    BenchGame() {
        char pattern[] = "/tmp/lodestow-bench-XXXXXX";
        if (!mkdtemp(pattern)) {
            std::abort();
        }
        root_ = pattern;
        for (const char* folder : {"Cache", "Maps", "Textures", "Sounds", "Music", "System"}) {
            fs::create_directories(root_ + "/Game/" + folder);
        }
        UnrealMOD::GameFolder = root_ + "/Game/";
        UnrealMOD::CacheIndexName = "cache.ini";
        UnrealMOD::ProgramFolder() = root_;
    }
    ~BenchGame() { fs::remove_all(root_); }
    void Write(const std::string& relative, const std::string& bytes) const {
        std::ofstream(root_ + "/Game/" + relative, std::ios::binary | std::ios::trunc) << bytes;
    }

private:
    std::string root_;
};

void BM_ParseIndexLines(benchmark::State& state) {
    const auto lines = UnrealMOD::DecodeIndex(IndexBytes(static_cast<int>(state.range(0)))).lines;
    for (auto _ : state) {
        benchmark::DoNotOptimize(UnrealMOD::ParseIndexLines(lines));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ParseIndexLines)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_DecodeIndex(benchmark::State& state) {
    const std::string bytes = IndexBytes(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(UnrealMOD::DecodeIndex(bytes));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<long long>(bytes.size()));
}
BENCHMARK(BM_DecodeIndex)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_ReadCacheIndex(benchmark::State& state) {
    BenchGame game;
    game.Write("Cache/cache.ini", IndexBytes(static_cast<int>(state.range(0))));
    UnrealMOD::MemoryCatalogue catalogue;
    for (auto _ : state) {
        if (!UnrealMOD::ReadCacheIndex(catalogue)) {
            state.SkipWithError("index not read");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ReadCacheIndex)->Arg(100000)->Unit(benchmark::kMillisecond);

// Unmarked UTF-8: read whole before it is known not to be Windows-1252.
void BM_ReadCacheIndexUtf8(benchmark::State& state) {
    BenchGame game;
    std::string bytes = IndexBytes(static_cast<int>(state.range(0)));
    bytes.insert(9, "K=DM-D\xC3\xA9j\xC3\xA0Vu.unr\r\n"); // the first entry
    game.Write("Cache/cache.ini", bytes);
    UnrealMOD::MemoryCatalogue catalogue;
    for (auto _ : state) {
        if (!UnrealMOD::ReadCacheIndex(catalogue)) {
            state.SkipWithError("index not read");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ReadCacheIndexUtf8)->Arg(100000)->Unit(benchmark::kMillisecond);

// The letter-case key of every name of a folder of range(0) files, as a run takes them.
void BM_FileNameKey(benchmark::State& state) {
    std::vector<std::string> names;
    for (int i = 0; i < state.range(0); ++i)
        names.push_back((i % 4 == 0 ? "DM-\xCE\x86\xCE\xBB\xCF\x86\xCE\xB1" : "Package") +
                        std::to_string(i) + Tails[i % 6]);
    for (auto _ : state) {
        for (const std::string& name : names)
            benchmark::DoNotOptimize(platform::FileNameKey(name));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_FileNameKey)->Arg(100000)->Unit(benchmark::kMillisecond);

// After a run: the "System" rows stay without a look at the disk; every other row's cache file is
// looked for (range(1) of them are still there).
void BM_RewriteCacheIndex(benchmark::State& state) {
    BenchGame game;
    const int rows = static_cast<int>(state.range(0));
    const int present = static_cast<int>(state.range(1));
    UnrealMOD::MemoryCatalogue catalogue;
    for (int i = 0; i < rows; ++i) {
        const std::string tail = Tails[i % 6];
        catalogue.rows.push_back({"Package" + std::to_string(i) + tail, "C" + std::to_string(i),
                                  UnrealMOD::DestinationFor(tail), "NO"});
    }
    for (int i = 0, made = 0; i < rows && made < present; ++i) {
        if (catalogue.rows[i].destination != "System") {
            game.Write("Cache/C" + std::to_string(i) + ".uxx", "x");
            ++made;
        }
    }
    for (auto _ : state) {
        if (!UnrealMOD::RewriteCacheIndex(catalogue, nullptr)) {
            state.SkipWithError("index not written");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * rows);
}
BENCHMARK(BM_RewriteCacheIndex)
    ->Args({100000, 0})
    ->Args({100000, 1000})
    ->Unit(benchmark::kMillisecond);

// A whole run over small files: copy, delete, and the closing read.
void BM_Transfer(benchmark::State& state) {
    BenchGame game;
    const int files = static_cast<int>(state.range(0));
    const std::string content(4096, 'p');
    for (auto _ : state) {
        state.PauseTiming();
        std::string index = "[Cache]\r\n";
        for (int i = 0; i < files; ++i) {
            index += "K" + std::to_string(i) + "=File" + std::to_string(i) + ".utx\r\n";
            game.Write("Cache/K" + std::to_string(i) + ".uxx", content);
        }
        game.Write("Cache/cache.ini", index);
        UnrealMOD::MemoryCatalogue catalogue;
        UnrealMOD::ReadCacheIndex(catalogue);
        testsupport::NullView view;
        state.ResumeTiming();
        UnrealMOD::RunTransfer(catalogue, view);
    }
    state.SetItemsProcessed(state.iterations() * files);
}
BENCHMARK(BM_Transfer)->Arg(3000)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
