// The program entry: builds the main window scheme, starts it, runs the loop, tears it down.
#pragma once

#include <string>

namespace kx {

class TClassSimpleForm_2597650;

// The information box shown for "/qv": the tool's name and the firmware version it carries.
extern const char* const kInfoCaption;
extern const char* const kInfoText;

// The tool's own version (the firmware it carries has its own, in kInfoText).
extern const char* const kToolVersion;

// The image the tool carries, as the start line names it: "image 130048 bytes, CRC-16 1090".
std::string carried_image();

// Runs the tool with the process's arguments (argv[0] is the program); returns the exit code:
// 0 when a person drives; with "/auto=COMn" the outcome (app/unattended.hpp, ExitCode).
// `running`, when given, holds the main scheme from its construction until just before it is
// destroyed, and nullptr before and after: a caller drives the window from the loop's idle hook.
int run_tool(int argc, char** argv, TClassSimpleForm_2597650** running = nullptr);

}  // namespace kx
