// Feeds arbitrary bytes to the EXIF reader as the content of a file, and to the comment decoders.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "exif/exif_info_ex.h"
#include "exif/exif_texts.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    pelko::TExifInfoEx exif;
    exif.ReadFromBytes(bytes);
    // A wide search range walks the raw marker search over the whole input as well.
    exif.SetSearchRange(0x7FFFFFFF);
    exif.ReadFromBytes(bytes);
    pelko::ExifUndefinedComment(bytes, size % 2 == 0);
    return 0;
}
