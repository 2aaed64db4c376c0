// tool_bench: the whole tool, headless, in one process as a user would run it: from process
// start to the window shown with the port list filled (start-up), then a port choice, the
// write button, the whole transfer and "OK"; prints the start-up time, the update's wall
// time and the peak resident size of the process. The device simulator runs in its own thread.
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "elements/serial/port_table.hpp"
#include "elements/serial/port_watch.hpp"
#include "elements/window/button.hpp"
#include "elements/window/combo_box.hpp"
#include "elements/window/simple_form.hpp"
#include "runtime/tdata.hpp"
#include "schemes/main_scheme.hpp"
#include "toolkit/headless/test_api.hpp"
#include "tools/devsim/simulator.hpp"

namespace {

using namespace std::chrono_literals;

// Seconds since the process started, from the kernel's start time of this process.
double seconds_since_process_start() {
  std::ifstream stat("/proc/self/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  std::size_t at = text.rfind(')');
  // Field 22 is the start time in clock ticks since boot; fields after ')' start at 3.
  for (int field = 2; field < 22 && at != std::string::npos; ++field) at = text.find(' ', at + 1);
  const double started = std::stod(text.substr(at + 1)) / static_cast<double>(sysconf(_SC_CLK_TCK));
  std::ifstream uptime_file("/proc/uptime");
  double uptime = 0;
  uptime_file >> uptime;
  return uptime - started;
}

}  // namespace

int main() {
  const auto entered = std::chrono::steady_clock::now();
  namespace hl = kx::headless;
  kx::devsim::Options options;
  options.image = kx::devsim::read_image(KX_IMAGE_FILE).value_or(std::vector<std::uint8_t>());
  kx::devsim::Simulator device(options);
  if (!device.start()) return 2;
  kx::register_port("COM3", device.port_path());

  auto* scheme = new kx::TClassSimpleForm_2597650();
  scheme->Form->Start();
  hl::run_until([&] { return !scheme->pwPorts->listing(); }, 5s);
  const double startup = seconds_since_process_start();
  const double from_main =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - entered).count();
  const bool listed = hl::items(*scheme->cbxPort->control()).size() == 1;

  const auto t0 = std::chrono::steady_clock::now();
  bool ok = listed && hl::choose_item(*scheme->cbxPort->control(), "COM3") &&
            hl::run_until([&] { return hl::usable(*scheme->btnWrite->control()); }, 10s) &&
            hl::click(*scheme->btnWrite->control()) &&
            hl::run_until([&] { return hl::shown(*scheme->btnOk->control()); }, 60s);
  ok = ok && device.wait_done(5s) && device.results().image_matched &&
       hl::click(*scheme->btnOk->control()) &&
       hl::run_until([] { return kx::tk::terminated(); }, 2s);
  const double update =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  delete scheme;
  device.stop();

  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  std::printf(
      "start-up to the window with its port list: %.1f ms since main, %.0f ms since the "
      "process started (kernel clock ticks)\n",
      from_main * 1000, startup * 1000);
  std::printf("choice, identification, transfer, OK:       %.3f s  %s\n", update,
              ok ? "ok" : "FAILED");
  std::printf("peak resident size:                         %ld KiB\n", u.ru_maxrss);
  return ok ? 0 : 1;
}
