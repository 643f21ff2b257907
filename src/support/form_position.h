#pragma once

// Window placement as plain values, so the rules hold without a window: keeping restored bounds
// on the screen and centring a form on the screen or on the main form.

namespace pelko {

enum class TFormPosition { fpNotUse, fpLoadSave, fpMainFormCenter, fpScreenCenter };

// Window state codes as stored in the settings.
inline constexpr int kWindowNormal = 0;
inline constexpr int kWindowMaximized = 1;
inline constexpr int kWindowMinimized = 2;

// Pixels kept free at the bottom of the screen for the taskbar.
inline constexpr int kTaskbarHeight = 27;

struct FormBounds {
    int top = 0;
    int left = 0;
    int width = 0;
    int height = 0;
    bool operator==(const FormBounds&) const = default;
};

struct FormGeometry {
    FormBounds bounds;
    int window_state = kWindowNormal;
    bool operator==(const FormGeometry&) const = default;
};

// The primary screen's size in pixels.
struct ScreenSize {
    int width = 0;
    int height = 0;
};

// Moves bounds back onto the screen: a negative Top or Left becomes 0; a form past the right edge
// moves to Left 0 and, when still too wide, takes the screen width; likewise downwards against
// the screen height less the taskbar.
FormBounds KeepOnScreen(FormBounds bounds, ScreenSize screen);

// Top at a third of the free height, Left at half the free width (divisions truncate toward
// zero, so a form larger than the screen gets a negative offset).
FormBounds CenterOnScreen(FormBounds bounds, ScreenSize screen);
FormBounds CenterOnMainForm(FormBounds bounds, const FormBounds& main_form);

}  // namespace pelko
