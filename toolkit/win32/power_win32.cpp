#include "toolkit/win32/power_win32.hpp"

#include <windows.h>

namespace kx::win32 {

void keep_awake(bool on) {
  SetThreadExecutionState(on ? ES_CONTINUOUS | ES_SYSTEM_REQUIRED : ES_CONTINUOUS);
}

}  // namespace kx::win32
