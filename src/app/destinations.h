#pragma once

// The three destination roots (RAW, JPEG, other) as the folder buttons change them.

#include <array>
#include <string>

namespace pelko {

// The folder chosen for destination `chosen` (0 RAW, 1 JPEG, 2 other) also fills each other
// destination that is still empty; a destination that holds a folder keeps it.
inline void ChooseDestination(std::array<std::string, 3>& folders, int chosen,
                              const std::string& folder) {
    if (chosen < 0 || chosen >= 3) return;
    folders[static_cast<std::size_t>(chosen)] = folder;
    for (std::string& other : folders) {
        if (other.empty()) other = folder;
    }
}

}  // namespace pelko
