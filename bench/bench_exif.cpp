// The EXIF reader as the destination builder uses it: HasExif, then assigning ImageFileName and
// reading DateTimeOriginal and Model, over a folder of JPEG files (PELKO_BENCH_EXIF_DIR; without
// it, a few hundred generated files). bench/exif.sh prepares 10,000 files and compares.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "exif/exif_info_ex.h"

namespace {

namespace fs = std::filesystem;

void PutU16(std::string& out, unsigned v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}

void PutU32(std::string& out, unsigned v) {
    PutU16(out, v & 0xFFFF);
    PutU16(out, v >> 16);
}

void PutEntry(std::string& out, unsigned tag, unsigned type, unsigned count, unsigned value) {
    PutU16(out, tag);
    PutU16(out, type);
    PutU32(out, count);
    PutU32(out, value);
}

// A small EXIF JPEG with Model and DateTimeOriginal, then some image bytes.
std::string GeneratedJpeg(int i) {
    const std::string model = "PENTAX K" + std::to_string(10 + i % 90) + "D";
    const std::string date = "2008:03:02 12:01:23";
    // IFD0 at 8 (Model, Exif pointer), the Exif IFD at 38 (DateTimeOriginal), strings from 56.
    std::string tiff("II*\0\x08\0\0\0", 8);
    PutU16(tiff, 2);
    PutEntry(tiff, 0x0110, 2, unsigned(model.size() + 1), 56);
    PutEntry(tiff, 0x8769, 4, 1, 38);
    PutU32(tiff, 0);
    PutU16(tiff, 1);
    PutEntry(tiff, 0x9003, 2, unsigned(date.size() + 1), unsigned(56 + model.size() + 1));
    PutU32(tiff, 0);
    tiff += model + '\0' + date + '\0';
    const std::string body = std::string("Exif\0\0", 6) + tiff;
    std::string file("\xFF\xD8\xFF\xE1", 4);
    file += static_cast<char>((body.size() + 2) >> 8);
    file += static_cast<char>((body.size() + 2) & 0xFF);
    return file + body + std::string(20000, '\x55') + "\xFF\xD9";
}

std::vector<std::string> Files() {
    static std::vector<std::string> files = [] {
        std::vector<std::string> list;
        fs::path dir;
        if (const char* env = std::getenv("PELKO_BENCH_EXIF_DIR")) {
            dir = env;
        } else {
            dir = fs::temp_directory_path() / "pelko-bench-exif-generated";
            fs::create_directories(dir);
            for (int i = 0; i < 500; ++i) {
                std::ofstream(dir / ("IMGP" + std::to_string(1000 + i) + ".JPG"), std::ios::binary)
                    << GeneratedJpeg(i);
            }
        }
        for (const auto& entry : fs::directory_iterator(dir)) {
            if (entry.is_regular_file()) list.push_back(entry.path().string());
        }
        std::sort(list.begin(), list.end());
        return list;
    }();
    return files;
}

void BM_ExifDateAndModel(benchmark::State& state) {
    const std::vector<std::string> files = Files();
    pelko::TExifInfoEx exif;
    std::size_t with_exif = 0;
    for (auto _ : state) {
        with_exif = 0;
        for (const std::string& file : files) {
            if (!exif.HasExif(file)) continue;
            exif.SetImageFileName(file);
            benchmark::DoNotOptimize(exif.DateTimeOriginal().data());
            benchmark::DoNotOptimize(exif.Model().data());
            ++with_exif;
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * files.size()));
    state.counters["files"] = static_cast<double>(files.size());
    state.counters["with_exif"] = static_cast<double>(with_exif);
}
BENCHMARK(BM_ExifDateAndModel)->Unit(benchmark::kMillisecond)->UseRealTime();

// A hostile block: 20,000 ASCII entries that all point at one 64 KiB value. The value budget
// keeps the read short; this measures how short.
void BM_ManyEntriesOneValue(benchmark::State& state) {
    const unsigned entries = 20000, blob_at = 8 + 2 + 12 * entries + 4;
    std::string tiff("II*\0\x08\0\0\0", 8);
    PutU16(tiff, entries);
    for (unsigned i = 0; i < entries; ++i)
        PutEntry(tiff, 0x010F, 2, 64 * 1024, blob_at);
    PutU32(tiff, 0);
    tiff += std::string(64 * 1024, '\x81');
    const std::string file =
        std::string("\xFF\xD8\xFF\xE1\xFF\xFF", 6) + "Exif" + std::string(2, '\0') + tiff;
    pelko::TExifInfoEx exif;
    for (auto _ : state) {
        exif.ReadFromBytes(file);
        benchmark::DoNotOptimize(exif.Make().data());
    }
}
BENCHMARK(BM_ManyEntriesOneValue)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
