#include "app/usage.hpp"

#include "app/console.hpp"
#include "app/entry.hpp"
#include "app/version.hpp"
#include "toolkit/toolkit.hpp"

namespace kx {

std::string command_line_use() {
  return "kxflash " KX_VERSION
         "\r\n"
         "\r\n"
         "kxflash [/auto=COMn[,COMn...]] [/log=FILE] [/summary=FILE]\r\n"
         "\r\n"
         "  (none)          the window: choose the port, press the write button\r\n"
         "  /auto=COMn      update the device on COMn (COM1 to COM255) with no one clicking\r\n"
         "  /auto=COM3,COM5 several ports (up to 16): every device at once, one window each\r\n"
         "  /log=FILE       append one line per step to FILE, a file on disk (not a port or a\r\n"
         "                  device); with several ports one log per port beside it\r\n"
         "                  (FILE-COM5.log)\r\n"
         "  /summary=FILE   with /auto: append one JSON line per device as it ends\r\n"
         "  /qv             as the first argument: the information box only\r\n"
         "  /?, /help       this text\r\n"
         "\r\n"
         "Exit codes with /auto: 0 updated (every device), 1 a transfer failed, 2 no device (on\r\n"
         "some port), 3 a bad command line, 4 updated but a summary line could not be written.\r\n"
         "Started from a console, /auto writes its log lines there too.\r\n";
}

void show_command_line_use() {
  const std::string text = command_line_use();
  if (std::unique_ptr<LogFile> console = parent_console()) {
    console->append(text);
    return;
  }
  tk::message_box(kInfoCaption, text);
}

}  // namespace kx
