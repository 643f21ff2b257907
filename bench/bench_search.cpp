// File search speed: listing a card of 10,000 files must take a blink, and a tree of 100,000
// files at most twice what `find` takes. With "--walk DIR" the program walks DIR once and prints
// the number of entries (for bench/search.sh; "--walk-stat DIR" also reads every entry's size and
// time); otherwise it times TSearchFile with Google
// Benchmark over $PELKO_BENCH_SEARCH_DIR or a generated tree of 10 x 1000 files.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "support/file_ops.h"
#include "support/search.h"

namespace {

// Walks folder once; with `stat`, every entry's size and time are read too.
std::int64_t Walk(const std::string& folder, bool stat) {
    std::int64_t count = 0;
    std::int64_t bytes = 0;
    pelko::TSearchFile search;
    search.Directory = folder;
    search.Recursive = true;
    search.SearchName = "*.*";
    search.OnFind = [&](pelko::TSearchFile&, const std::string& name,
                        const pelko::TSearchFileData& data, bool&) {
        ++count;
        bytes += static_cast<std::int64_t>(name.size() + data.Name.size());
        if (stat) bytes += data.Size() + data.LastWriteTime().second;
    };
    search.Execute();
    benchmark::DoNotOptimize(bytes);
    return count;
}

// A tree of `folders` x `files` empty files below a fresh temporary folder.
std::string MakeTree(int folders, int files) {
    std::string root = (std::filesystem::temp_directory_path() / "pelko-bench-XXXXXX").string();
    if (::mkdtemp(root.data()) == nullptr) std::abort();
    for (int d = 0; d < folders; ++d) {
        const std::string folder = root + "/" + std::to_string(100 + d) + "NIKON";
        pelko::FolderCreate(folder);
        for (int f = 0; f < files; ++f) {
            const std::string name = folder + "/DSC_" + std::to_string(10000 + f) + ".NEF";
            const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
            if (fd >= 0) ::close(fd);
        }
    }
    return root;
}

// Arg 0: names only (as the copy run lists a card); arg 1: size and time of every entry too.
void BM_SearchTree(benchmark::State& state) {
    static const std::string folder = [] {
        const char* given = std::getenv("PELKO_BENCH_SEARCH_DIR");
        return given != nullptr ? std::string(given) : MakeTree(10, 1000);
    }();
    std::int64_t entries = 0;
    for (auto _ : state)
        entries = Walk(folder, state.range(0) != 0);
    state.SetItemsProcessed(state.iterations() * entries);
    state.counters["entries"] = static_cast<double>(entries);
}
BENCHMARK(BM_SearchTree)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 &&
        (std::strcmp(argv[1], "--walk") == 0 || std::strcmp(argv[1], "--walk-stat") == 0)) {
        std::printf("%lld\n", static_cast<long long>(
                                  Walk(argv[2], std::strcmp(argv[1], "--walk-stat") == 0)));
        return 0;
    }
    if (argc == 4 && std::strcmp(argv[1], "--make-tree") == 0) {
        std::printf("%s\n", MakeTree(std::atoi(argv[2]), std::atoi(argv[3])).c_str());
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
