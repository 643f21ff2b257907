// Feeds arbitrary bytes to a RAW model reader as the stretch it reads from a file's header.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "naming/camera_model.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The first byte picks the maker, the rest is its header: one reader per input.
    constexpr pelko::TRawMaker kMakers[] = {pelko::TRawMaker::rmPentax, pelko::TRawMaker::rmNikon,
                                            pelko::TRawMaker::rmCanon, pelko::TRawMaker::rmSony,
                                            pelko::TRawMaker::rmOlympus};
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const pelko::TRawMaker maker = kMakers[size > 0 ? data[0] % 5 : 0];
    if (pelko::RawModelFromHeader(maker, bytes.substr(size > 0 ? 1 : 0)).empty()) __builtin_trap();
    return 0;
}
