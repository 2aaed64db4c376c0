// The toolkit's own window classes (the application window, the forms), the common controls
// loaded from the system folder, and the fonts the controls are given.
#pragma once

#include <windows.h>

#include "toolkit/toolkit.hpp"

namespace kx::win32 {

inline constexpr wchar_t kApplicationClass[] = L"KxApplicationWindow";
inline constexpr wchar_t kFormClass[] = L"KxFormWindow";

HINSTANCE instance();
// The common controls, once, from the system folder: their window classes for this process.
void init_common_controls();
// The application and form classes, once.
void register_classes();
// The font at a screen resolution (its height is in design pixels).
HFONT make_font(const tk::Font& f, int dpi);
// The classic drawing for a control whose colours the program sets.
void classic_look(HWND hwnd);

}  // namespace kx::win32
