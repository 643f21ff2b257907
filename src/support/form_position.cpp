#include "support/form_position.h"

#include <cstdint>

namespace pelko {

namespace {

// Stored bounds come from a file anyone can edit: sums are taken in 64 bits so that no value can
// overflow.
bool Exceeds(int start, int size, std::int64_t limit) {
    return static_cast<std::int64_t>(start) + size > limit;
}

int Offset(int outer, int inner, int divisor) {
    return static_cast<int>((static_cast<std::int64_t>(outer) - inner) / divisor);
}

}  // namespace

FormBounds KeepOnScreen(FormBounds b, ScreenSize screen) {
    const std::int64_t usable_height = static_cast<std::int64_t>(screen.height) - kTaskbarHeight;
    if (b.top < 0) b.top = 0;
    if (b.left < 0) b.left = 0;
    if (Exceeds(b.left, b.width, screen.width)) {
        b.left = 0;
        if (Exceeds(b.left, b.width, screen.width)) b.width = screen.width;
    }
    if (Exceeds(b.top, b.height, usable_height)) {
        b.top = 0;
        if (Exceeds(b.top, b.height, usable_height)) b.height = static_cast<int>(usable_height);
    }
    return b;
}

FormBounds CenterOnScreen(FormBounds b, ScreenSize screen) {
    b.top = Offset(screen.height, b.height, 3);
    b.left = Offset(screen.width, b.width, 2);
    return b;
}

FormBounds CenterOnMainForm(FormBounds b, const FormBounds& main_form) {
    b.top = static_cast<int>(main_form.top +
                             static_cast<std::int64_t>(Offset(main_form.height, b.height, 3)));
    b.left = static_cast<int>(main_form.left +
                              static_cast<std::int64_t>(Offset(main_form.width, b.width, 2)));
    return b;
}

}  // namespace pelko
