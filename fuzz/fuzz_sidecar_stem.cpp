// Builds sidecar and picture names from arbitrary bytes and checks the stem rule and the list of
// unmatched sidecars: a stem never splits a character, and no sidecar whose picture is in the
// list is ever proposed for deletion.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "sidecar/sidecar_list.h"
#include "support/text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace pelko;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    // Picture stems: the input split at '/' and NUL, which no file name holds.
    std::vector<std::string> stems;
    std::size_t start = 0;
    while (start <= bytes.size() && stems.size() < 12) {
        std::size_t end = bytes.find_first_of(std::string_view("/\0", 2), start);
        if (end == std::string_view::npos) end = bytes.size();
        if (end > start) stems.emplace_back(bytes.substr(start, end - start));
        start = end + 1;
    }

    std::vector<std::string> pictures, sidecars;
    for (std::size_t i = 0; i < stems.size(); ++i) {
        const std::string& stem = stems[i];
        const std::string lower = AsciiLower(stem);
        // Under each rule the stem is a prefix of the lower-cased name that ends on a character
        // boundary; a name without dots of its own keeps its whole stem.
        const bool plain = stem.find('.') == std::string::npos && IsValidUtf8(stem);
        const std::string names[] = {stem + ".xmp", stem + ".PEF.spd", stem + ".PEF.4.spi",
                                     stem + ".pef.5.spd", stem};
        for (std::size_t n = 0; n < std::size(names); ++n) {
            const std::string got = SidecarStem(names[n]);
            if (AsciiLower(names[n]).compare(0, got.size(), got) != 0) std::abort();
            if (IsValidUtf8(names[n]) && !IsValidUtf8(got)) std::abort();
            if (plain && n < 3 && got != lower) std::abort();
        }
        const std::string folder = "/pictures/" + std::to_string(i % 3);
        pictures.push_back(folder + "/" + stem + ".PEF");
        sidecars.push_back("/pictures/" + std::to_string(i % 2) + "/" + stem + ".xmp");
        sidecars.push_back("/pictures/" + std::to_string(i % 4) + "/SILKYPIX_DS/" + stem +
                           ".PEF.spd");
    }

    // Each picture's stem once: the check below looks every deleted sidecar up in them.
    std::vector<std::string> picture_stems;
    for (const std::string& picture : pictures)
        picture_stems.push_back(PictureStem(picture.substr(picture.rfind('/') + 1)));
    std::sort(picture_stems.begin(), picture_stems.end());

    // The last byte chooses whether every .xmp sidecar is listed too.
    const bool delete_xmp = size > 0 && (data[size - 1] & 1) != 0;
    const std::vector<SidecarRow> rows = ListUnmatched(sidecars, pictures, delete_xmp);
    if (rows.size() > sidecars.size()) std::abort();
    for (const SidecarRow& row : rows) {
        if (row.reason == TSidecarReason::srXmpOption) continue;
        if (row.reason == TSidecarReason::srElsewhere && row.picture.empty()) std::abort();
        if (row.reason != TSidecarReason::srNoPicture) continue;
        // Deleted only when no picture has its stem.
        const std::string stem = SidecarStem(row.sidecar.substr(row.sidecar.rfind('/') + 1));
        if (std::binary_search(picture_stems.begin(), picture_stems.end(), stem)) std::abort();
    }
    return 0;
}
