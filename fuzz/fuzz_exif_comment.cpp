// Decodes arbitrary bytes as the text of an EXIF UserComment under each character code, and as a
// JIS stream, and checks that every line is valid UTF-8 of bounded length.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "exif/exif_texts.h"
#include "support/text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace pelko;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    // Each input byte gives at most two Shift_JIS bytes.
    if (JisToShiftJis(bytes).size() > 2 * size) std::abort();

    // The first byte picks the character code and the byte order, the rest is the text: one
    // decode per input lets the fuzzer spend its time on the texts.
    const std::string codes[] = {std::string("ASCII\0\0\0", 8), std::string("UNICODE\0", 8),
                                 std::string("JIS\0\0\0\0\0", 8), std::string(8, '\0')};
    const unsigned choice = size > 0 ? data[0] : 0;
    const std::string_view text = bytes.substr(size > 0 ? 1 : 0);
    const std::string line =
        ExifUndefinedComment(codes[choice % 4] + std::string(text), (choice & 4) != 0);
    if (!IsValidUtf8(line)) std::abort();
    // A character of UTF-8 takes at most four bytes for two bytes of UTF-16 or Shift_JIS, and
    // three for one byte of half-width katakana.
    if (line.size() > 3 * text.size() + 3) std::abort();
    // The input with its own character code.
    if (!IsValidUtf8(ExifUndefinedComment(bytes, false))) std::abort();
    return 0;
}
