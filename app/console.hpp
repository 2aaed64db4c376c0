// The console of the program that started this one (a command prompt running a batch file), if
// it has one: an unattended run writes its log lines there too, so that an operator sees the
// progress, and "/?" prints the command line's use there. One implementation per platform
// (console_win32.cpp, console_posix.cpp).
#pragma once

#include <memory>
#include <string>

#include "app/log_file.hpp"

namespace kx {

// The parent's console (Windows: the standard output the parent handed over, else the console
// attached to; POSIX: standard error when it is a terminal); nullptr when there is none.
std::unique_ptr<LogFile> parent_console();

// Where the program's answer to a question goes (the port list): Windows, the parent's console
// as above; POSIX, standard output. nullptr when there is none.
std::unique_ptr<LogFile> program_output();

// The line end of text written there: "\r\n" on Windows, "\n" on POSIX.
extern const char* const kConsoleLineEnd;

// `out` with `prefix` before every line written to it (one device's lines on a console that
// several devices share: "COM5 " before each); nullptr for nullptr.
std::unique_ptr<LogFile> with_line_prefix(std::unique_ptr<LogFile> out, std::string prefix);

}  // namespace kx
