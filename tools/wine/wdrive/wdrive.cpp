// wdrive: drives a top-level window of another process by its caption, as a user would.
//
//   wdrive list     WINDOW                     controls with class, id, state and text
//   wdrive choose   WINDOW INDEX|ITEMTEXT      selects a combo-box item, notifies the parent
//   wdrive click    WINDOW BUTTONTEXT|#ID      clicks a visible, enabled button
//   wdrive state    WINDOW TEXT                visibility and enabled state of a control
//   wdrive wait     WINDOW TEXT TIMEOUT_MS     waits until a visible control shows TEXT (and
//                                              tells when the progress bar last moved)
//   wdrive ping     WINDOW                     does the window still answer messages
//   wdrive count    WINDOW                     how many such windows are visible
//   wdrive close    WINDOW                     asks the window to close (WM_CLOSE)
//   wdrive waitgone WINDOW TIMEOUT_MS          waits until no such window exists
//   wdrive minimize WINDOW                     the minimise box: WM_SYSCOMMAND SC_MINIMIZE to
//                                              the form (the owned window of that caption)
//   wdrive restore  WINDOW                     the taskbar button: SC_RESTORE to the window
//                                              that has it (the form's owner, else the form)
//   wdrive showstate WINDOW                    "form visible=V iconic=I taskbar visible=V
//                                              iconic=I" of the form and its button's window
//   wdrive devicechange WINDOW arrival|removal PORT   as a port driver's broadcast: a port's
//                                              WM_DEVICECHANGE to the form and its owner
//   wdrive freeze   WINDOW                     suspends every thread of the window's process
//   wdrive layout   WINDOW [PT[b]=TEXT...]     the form's client size, place on the screen
//                                              (left,top,right,bottom) and resolution, and for
//                                              each visible control its place in the form and
//                                              the room its text needs against what it has
//                                              (measured in "MS Sans Serif", 8 points, or PT
//                                              points, bold with b, for texts that begin with
//                                              TEXT: another process's font cannot be read)
//
// WINDOW is the exact caption, or "class:NAME" for the first visible window of that class
// ("class:#32770" finds a dialog or message box whatever its caption). Texts are read with the
// wide-character functions and compared as Unicode. Arguments are taken from the Unicode command
// line (under Wine with a UTF-8 Unix locale, the UTF-8 arguments of the Unix command line arrive
// there converted); output is UTF-8. `wait` and `state` match a control whose text contains TEXT
// (an empty TEXT: any visible control); `click` wants the button's whole text. Exit codes: 0 done,
// 1 not found / timed out / refused, 2 usage.
//
// This file reads the command line and dispatches; wdrive.h lists the parts and what they share.
#include "wdrive.h"

#include <cwchar>
#include <string>
#include <vector>

namespace {

using namespace wdrive;

DWORD parse_ms(const std::wstring& s) {
  return all_digits(s) ? static_cast<DWORD>(std::wcstoul(s.c_str(), nullptr, 10)) : 0;
}

int usage() {
  err("usage: wdrive list|choose|click|state|wait|ping|count|close|waitgone|minimize|restore|"
      "showstate|layout|devicechange|freeze WINDOW [ARG] "
      "[TIMEOUT_MS]");
  return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  // Places and sizes as the screen has them, whatever its resolution.
  SetProcessDPIAware();
  if (argc < 3) return usage();
  const std::wstring cmd = argv[1];
  const std::wstring window = argv[2];
  const std::wstring arg = argc > 3 ? argv[3] : L"";
  if (cmd == L"list" && argc == 3) return cmd_list(window);
  if (cmd == L"ping" && argc == 3) return cmd_ping(window);
  if (cmd == L"close" && argc == 3) return cmd_close(window);
  if (cmd == L"count" && argc == 3) return cmd_count(window);
  if (cmd == L"minimize" && argc == 3) return cmd_syscommand(window, true);
  if (cmd == L"restore" && argc == 3) return cmd_syscommand(window, false);
  if (cmd == L"showstate" && argc == 3) return cmd_showstate(window);
  if (cmd == L"freeze" && argc == 3) return cmd_freeze(window);
  if (cmd == L"devicechange" && argc == 5) return cmd_devicechange(window, arg, argv[4]);
  if (cmd == L"layout") {
    std::vector<FontSpec> fonts;
    for (int i = 3; i < argc; ++i) {
      FontSpec f;
      if (!parse_font_spec(argv[i], f)) return usage();
      fonts.push_back(f);
    }
    return cmd_layout(window, fonts);
  }
  if (cmd == L"choose" && argc == 4) return cmd_choose(window, arg);
  if (cmd == L"click" && argc == 4) return cmd_click(window, arg);
  if (cmd == L"state" && argc == 4) return cmd_state(window, arg);
  if (cmd == L"waitgone" && argc == 4) return cmd_waitgone(window, parse_ms(arg));
  if (cmd == L"wait" && argc == 5) return cmd_wait(window, arg, parse_ms(argv[4]));
  return usage();
}
