// The toolkit's window classes, the common controls and the fonts of the controls.
#include "toolkit/win32/classes_win32.hpp"

#include <commctrl.h>

#include <algorithm>
#include <string>

#include "toolkit/dpi.hpp"
#include "toolkit/win32/system_library.hpp"
#include "toolkit/win32/text_win32.hpp"
#include "toolkit/win32/win32_window.hpp"

namespace kx::win32 {

HINSTANCE instance() {
  return GetModuleHandleW(nullptr);
}

// The common controls, once, from the system folder (version 6 through the manifest): their
// window classes for this process.
void init_common_controls() {
  static bool done = false;
  if (done) return;
  done = true;
  using InitEx = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
  if (auto init_ex = system_function<InitEx>(L"comctl32.dll", "InitCommonControlsEx")) {
    INITCOMMONCONTROLSEX icc{sizeof(INITCOMMONCONTROLSEX),
                             ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS | ICC_WIN95_CLASSES};
    init_ex(&icc);
  }
}

void register_classes() {
  static bool done = false;
  if (done) return;
  done = true;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = class_proc;
  wc.hInstance = instance();
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
  wc.lpszClassName = kApplicationClass;
  RegisterClassExW(&wc);
  wc.lpszClassName = kFormClass;
  RegisterClassExW(&wc);
}

// The font at a screen resolution (its height is in design pixels).
HFONT make_font(const tk::Font& f, int dpi) {
  LOGFONTW lf{};
  lf.lfHeight = tk::to_screen(f.height, dpi);
  lf.lfWeight = (f.style_bits & 1) != 0 ? FW_BOLD : FW_NORMAL;
  lf.lfItalic = (f.style_bits & 2) != 0 ? 1 : 0;
  lf.lfUnderline = (f.style_bits & 4) != 0 ? 1 : 0;
  lf.lfStrikeOut = (f.style_bits & 8) != 0 ? 1 : 0;
  // The texts are Windows-1251: "the system's default" character set is the Cyrillic one, as
  // on a Russian system. Otherwise a face that exists in several character sets (a bitmap
  // face such as MS Sans Serif) would be picked without its Cyrillic letters on a system of
  // another code page.
  lf.lfCharSet = f.charset == DEFAULT_CHARSET ? static_cast<BYTE>(RUSSIAN_CHARSET) : f.charset;
  lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
  lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  lf.lfQuality = DEFAULT_QUALITY;
  lf.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
  const std::wstring face = to_wide(f.face).substr(0, LF_FACESIZE - 1);
  std::copy(face.begin(), face.end(), lf.lfFaceName);
  return CreateFontIndirectW(&lf);
}

// The classic drawing for a control whose colours the program sets: a visual style would
// ignore them (a progress bar's bar and background colour). uxtheme is optional.
void classic_look(HWND hwnd) {
  using SetTheme = HRESULT(WINAPI*)(HWND, LPCWSTR, LPCWSTR);
  static const auto set_theme = system_function<SetTheme>(L"uxtheme.dll", "SetWindowTheme");
  if (set_theme != nullptr) set_theme(hwnd, L" ", L" ");  // a class list that names no style
}

}  // namespace kx::win32
