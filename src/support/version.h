#pragma once

// The release of the program, in one place: the window's caption, the tool's --version, the
// "AppVer" setting and the build (CMakeLists.txt reads the text below) all take it from here.

#include <string_view>

// A macro, so that captions can join it as a literal.
#define PELKO_VERSION_TEXT "1.41"

namespace pelko {

inline constexpr std::string_view kVersionText = PELKO_VERSION_TEXT;

// The release as the "AppVer" setting stores it: "1.41" is 141.
inline constexpr int VersionNumber(std::string_view text) {
    int number = 0;
    for (const char c : text) {
        if (c >= '0' && c <= '9') number = number * 10 + (c - '0');
    }
    return number;
}
inline constexpr int kVersionNumber = VersionNumber(kVersionText);
static_assert(kVersionNumber == 141);

}  // namespace pelko
