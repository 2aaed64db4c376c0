// The command line's use, as "/?" and "/help" show it: in a message box, or on the console of
// the program that started the tool when it has one.
#pragma once

#include <string>

namespace kx {

// Lines ended by "\r\n".
std::string command_line_use();

// Shows the use where the person who asked for it will read it.
void show_command_line_use();

}  // namespace kx
