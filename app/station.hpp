// The Linux station: the update of app/entry.cpp's unattended run, driven from a terminal or a
// script with GNU long options (app/station_options.hpp), one device per port and each port
// this program's alone. The native kxflash is this program; the window's command line
// ("/auto=COMn") stays with the Windows tool and the whole-tool tests.
#pragma once

namespace kx {

// Runs the station with the process's arguments; returns the exit code: 0 updated, 1 a
// transfer failed, 2 no device, 3 a bad command line, 4 updated but a summary line lost,
// 130 interrupted.
int run_station(int argc, char** argv);

}  // namespace kx
