// The window of one device of a run of several: its caption names the port, and it takes its
// place among the others (app/window_place.hpp).
#pragma once

#include <string>

namespace kx {

class TClassSimpleForm_2597650;

// Captions the scheme's form "Magnetoflux bootloader — COMn" (the dash as Windows-1251 0x97)
// and moves it to place `k` of `n` in its monitor's work area. Before the form starts.
void place_line_window(TClassSimpleForm_2597650& scheme, const std::string& port, int k, int n);

}  // namespace kx
