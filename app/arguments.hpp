// The Windows program's arguments as UTF-8 (arguments_win32.cpp): taken from the command line as
// UTF-16, so that a file named outside the ANSI code page is the file written; the paths go down
// to the file opens as UTF-8 and become UTF-16 there (utf8_win32.hpp). (The POSIX program takes
// its arguments as the system gives them: bytes, UTF-8 by convention.)
#pragma once

#include <string>
#include <vector>

namespace kx {

// argv[0] first. `argc` and `argv` are main's (the fallback on Windows, where they are the ANSI
// form of the same command line).
std::vector<std::string> program_arguments(int argc, char** argv);

}  // namespace kx
