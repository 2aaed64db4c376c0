// What the process sets up about itself before anything else runs.
#pragma once

namespace kx {

// Windows: every library loaded at run time, and every library those import, comes from the
// system folder, never from the program's own folder or the current one. Elsewhere: nothing.
void prepare_process();

}  // namespace kx
