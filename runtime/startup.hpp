// The start-up list: what elements ask to run once every element of the program exists.
#pragma once

namespace kx {

using StartupHandler = void (*)(void* object);
void register_startup(StartupHandler handler, void* object);
void run_startup_list();
bool startup_done();
void set_startup_done(bool value);

}  // namespace kx
