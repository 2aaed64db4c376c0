#include "runtime/startup.hpp"

#include <vector>

namespace kx {

namespace {

struct StartupEntry {
  StartupHandler handler;
  void* object;
};
std::vector<StartupEntry> g_startup_list;
bool g_startup_done = false;

}  // namespace

void register_startup(StartupHandler handler, void* object) {
  g_startup_list.push_back({handler, object});
}

void run_startup_list() {
  // The length is read afresh before each call: handlers may register more.
  for (std::size_t i = 0; i < g_startup_list.size(); ++i) {
    StartupEntry entry = g_startup_list[i];
    entry.handler(entry.object);
  }
  g_startup_list.clear();
  g_startup_done = true;
}

bool startup_done() {
  return g_startup_done;
}
void set_startup_done(bool value) {
  g_startup_done = value;
}

}  // namespace kx
