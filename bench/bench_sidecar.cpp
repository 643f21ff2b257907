// Matching of sidecars to pictures: ListUnmatched (a stem index) on 100,000 pictures and 50,000
// sidecars against a plain linear search of the picture list per sidecar, which finds the same
// first picture. The linear search runs on a slice of the sidecars and is scaled up to all of
// them (it would take minutes in full).
//
//   bench_sidecar [PICTURES SIDECARS LINEAR_SLICE]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "sidecar/sidecar_list.h"
#include "support/file_ops.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// The rows the search of the list from its start gives; picture stems worked out once.
std::size_t LinearRows(const std::vector<std::string>& sidecars,
                       const std::vector<std::string>& pictures,
                       const std::vector<std::string>& stems) {
    std::size_t rows = 0;
    for (const std::string& sidecar : sidecars) {
        const std::string stem = pelko::SidecarStem(pelko::NameOf(sidecar));
        if (stem.empty()) continue;
        const bool xmp = sidecar.ends_with(".xmp");
        const std::string folder =
            xmp ? pelko::FolderOf(sidecar) : pelko::FolderOf(pelko::FolderOf(sidecar));
        const auto found = std::find(stems.begin(), stems.end(), stem);
        if (found == stems.end() ||
            pelko::FolderOf(pictures[static_cast<std::size_t>(found - stems.begin())]) != folder) {
            ++rows;
        }
    }
    return rows;
}

}  // namespace

int main(int argc, char** argv) {
    const std::size_t picture_count = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 100000;
    const std::size_t sidecar_count = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 50000;
    const std::size_t slice = argc > 3 ? std::strtoul(argv[3], nullptr, 10) : 1000;

    // Pictures in 1,000 day folders; sidecars for every other picture, a third of them in
    // another folder, a tenth for pictures that are gone, SILKYPIX and .xmp alternately.
    std::mt19937 random(42);
    std::vector<std::string> pictures;
    pictures.reserve(picture_count);
    for (std::size_t i = 0; i < picture_count; ++i) {
        pictures.push_back("/photos/2026/day" + std::to_string(i % 1000) + "/IMGP" +
                           std::to_string(100000 + i) + (i % 3 ? ".PEF" : ".DNG"));
    }
    std::vector<std::string> sidecars;
    sidecars.reserve(sidecar_count);
    for (std::size_t i = 0; i < sidecar_count; ++i) {
        const std::size_t p = (2 * i) % picture_count;
        const bool gone = random() % 10 == 0;
        const std::size_t folder = random() % 3 == 0 ? random() % 1000 : p % 1000;
        const std::string stem = "IMGP" + std::to_string(gone ? 900000 + i : 100000 + p);
        const std::string base = "/photos/2026/day" + std::to_string(folder) + "/";
        sidecars.push_back(i % 2 ? base + stem + ".xmp"
                                 : base + "SILKYPIX_DS/" + stem + (p % 3 ? ".PEF" : ".DNG") +
                                       (i % 4 ? ".spd" : ".5.spd"));
    }

    std::vector<double> times;
    std::size_t rows = 0;
    for (int run = 0; run < 5; ++run) {
        const auto start = Clock::now();
        rows = pelko::ListUnmatched(sidecars, pictures, false).size();
        times.push_back(Seconds(Clock::now() - start));
    }
    std::sort(times.begin(), times.end());
    const double indexed = times[times.size() / 2];

    std::vector<std::string> stems;
    stems.reserve(pictures.size());
    for (const std::string& picture : pictures)
        stems.push_back(pelko::PictureStem(pelko::NameOf(picture)));
    const std::size_t n = std::min(slice, sidecars.size());
    // An even spread of the sidecars, so the slice meets early and late pictures alike.
    std::vector<std::string> part;
    for (std::size_t i = 0; i < n; ++i)
        part.push_back(sidecars[i * sidecars.size() / n]);
    const auto start = Clock::now();
    const std::size_t linear_rows = LinearRows(part, pictures, stems);
    const double linear = Seconds(Clock::now() - start) * static_cast<double>(sidecars.size()) /
                          static_cast<double>(n);

    std::printf("pictures %zu, sidecars %zu, rows %zu\n", pictures.size(), sidecars.size(), rows);
    std::printf("index (median of 5):  %.3f s\n", indexed);
    std::printf("linear search:        %.1f s (measured on %zu sidecars, %zu rows, scaled up)\n",
                linear, n, linear_rows);
    std::printf("ratio linear/index:   %.0fx\n", linear / indexed);
    return indexed < 1.0 ? 0 : 1;
}
