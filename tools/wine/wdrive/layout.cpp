// The layout command: the form's client size and resolution, and for each visible control its
// place in the form and the room its text needs against what it has.
#include "wdrive.h"

#include <cwchar>

namespace wdrive {

namespace {

int dpi_of(HWND w) {
  using ForWindow = UINT(WINAPI*)(HWND);
  HMODULE user32 = GetModuleHandleW(L"user32.dll");
  FARPROC p = user32 != nullptr ? GetProcAddress(user32, "GetDpiForWindow") : nullptr;
  if (p != nullptr)
    return static_cast<int>(reinterpret_cast<ForWindow>(reinterpret_cast<void (*)()>(p))(w));
  HDC dc = GetDC(nullptr);
  const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
  ReleaseDC(nullptr, dc);
  return dpi;
}

// The room a control gives its text: an edit its formatting rectangle, a button its face
// inside the border, a static its client area.
RECT text_room(HWND w, const std::wstring& cls) {
  RECT r{};
  if (same_class(cls, L"Edit")) {
    send(w, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&r), nullptr);
    return r;
  }
  GetClientRect(w, &r);
  if (same_class(cls, L"Button")) InflateRect(&r, -3, -3);
  return r;
}

bool text_extent(HWND w, const std::wstring& text, const FontSpec& font, int dpi, bool wrap,
                 int wrap_width, SIZE& size) {
  LOGFONTW lf{};
  // The height in design pixels at 96 per inch, then scaled to the resolution.
  const int design = -((font.points * 96 + 36) / 72);
  lf.lfHeight = MulDiv(design, dpi, 96);
  lf.lfWeight = font.bold ? FW_BOLD : FW_NORMAL;
  lf.lfCharSet = RUSSIAN_CHARSET;
  lstrcpyW(lf.lfFaceName, L"MS Sans Serif");
  HFONT local = CreateFontIndirectW(&lf);
  if (local == nullptr) return false;
  HDC dc = GetDC(w);
  HGDIOBJ old = SelectObject(dc, local);
  RECT r{0, 0, wrap ? wrap_width : 0, 0};
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r,
            DT_CALCRECT | DT_NOPREFIX | (wrap ? DT_WORDBREAK : 0));
  SelectObject(dc, old);
  ReleaseDC(w, dc);
  DeleteObject(local);
  size = {r.right - r.left, r.bottom - r.top};
  return true;
}

}  // namespace

bool parse_font_spec(const std::wstring& arg, FontSpec& spec) {
  const auto eq = arg.find(L'=');
  if (eq == std::wstring::npos || eq == 0) return false;
  std::wstring size = arg.substr(0, eq);
  spec.bold = size.back() == L'b';
  if (spec.bold) size.pop_back();
  spec.points = static_cast<int>(std::wcstol(size.c_str(), nullptr, 10));
  spec.text_prefix = arg.substr(eq + 1);
  return spec.points > 0;
}

int cmd_layout(const std::wstring& spec, const std::vector<FontSpec>& fonts) {
  HWND top = need_top(spec);
  if (!top) return 1;
  const int dpi = dpi_of(top);
  RECT client;
  GetClientRect(top, &client);
  RECT screen;
  GetWindowRect(top, &screen);
  out("form client=" + std::to_string(client.right) + "x" + std::to_string(client.bottom) +
      " window=" + std::to_string(screen.left) + "," + std::to_string(screen.top) + "," +
      std::to_string(screen.right) + "," + std::to_string(screen.bottom) +
      " dpi=" + std::to_string(dpi));
  for (const Control& c : controls_of(top)) {
    if (!IsWindowVisible(c.hwnd)) continue;
    RECT r;
    GetWindowRect(c.hwnd, &r);
    MapWindowPoints(HWND_DESKTOP, top, reinterpret_cast<POINT*>(&r), 2);
    std::string line = to_utf8(c.cls) + " id=" + std::to_string(c.id) +
                       " x=" + std::to_string(r.left) + " y=" + std::to_string(r.top) +
                       " w=" + std::to_string(r.right - r.left) +
                       " h=" + std::to_string(r.bottom - r.top);
    const bool texty =
        same_class(c.cls, L"Static") || same_class(c.cls, L"Button") || same_class(c.cls, L"Edit");
    if (texty && !c.text.empty()) {
      const RECT room = text_room(c.hwnd, c.cls);
      const LONG style = GetWindowLongW(c.hwnd, GWL_STYLE);
      // A static that is not kept to one line wraps its words within its width.
      const bool wrap = same_class(c.cls, L"Static") && (style & SS_TYPEMASK) != SS_LEFTNOWORDWRAP;
      FontSpec font;
      for (const FontSpec& f : fonts)
        if (c.text.rfind(f.text_prefix, 0) == 0) font = f;
      SIZE t{};
      if (text_extent(c.hwnd, c.text, font, dpi, wrap, room.right - room.left, t)) {
        const bool fits = t.cx <= room.right - room.left && t.cy <= room.bottom - room.top;
        line += " text_w=" + std::to_string(t.cx) + " text_h=" + std::to_string(t.cy) +
                " room_w=" + std::to_string(room.right - room.left) +
                " room_h=" + std::to_string(room.bottom - room.top) +
                " fits=" + std::to_string(fits ? 1 : 0);
      } else {
        line += " fits=?";
      }
    }
    out(line + " " + quoted(c.text));
  }
  return 0;
}

}  // namespace wdrive
