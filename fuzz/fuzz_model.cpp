// Feeds arbitrary bytes to the RAW model readers as the stretch each reads from a file's header.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "naming/camera_model.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    using pelko::TRawMaker;
    for (TRawMaker maker : {TRawMaker::rmPentax, TRawMaker::rmNikon, TRawMaker::rmCanon,
                            TRawMaker::rmSony, TRawMaker::rmOlympus}) {
        if (pelko::RawModelFromHeader(maker, bytes).empty()) __builtin_trap();
    }
    return 0;
}
