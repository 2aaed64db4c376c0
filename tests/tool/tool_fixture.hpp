// The whole tool on the headless toolkit against simulated devices: what every whole-tool test
// starts from (a fresh scheme, devices on COM names, and ways to wait for the window).
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "app/command_line.hpp"
#include "app/entry.hpp"
#include "app/update_log.hpp"
#include "elements/serial/com_async.hpp"
#include "elements/serial/port_table.hpp"
#include "elements/serial/port_watch.hpp"
#include "elements/text/text_holder.hpp"
#include "elements/timer/mm_timer.hpp"
#include "elements/window/button.hpp"
#include "elements/window/combo_box.hpp"
#include "elements/window/edit.hpp"
#include "elements/window/image.hpp"
#include "elements/window/label.hpp"
#include "elements/window/progress_bar.hpp"
#include "elements/window/simple_form.hpp"
#include "runtime/multi_element.hpp"
#include "schemes/main_scheme.hpp"
#include "schemes/transfer_scheme.hpp"
#include "tests/common/device_texts.hpp"
#include "toolkit/headless/test_api.hpp"
#include "tools/devsim/simulator.hpp"

namespace kx::tool_testing {

using namespace std::chrono_literals;
namespace hl = headless;
using devsim::Fault;

using test_texts::image_bytes;
using test_texts::kChoose;
using test_texts::kError;
using test_texts::kNotFound;
// The simulated device answers "MAGNETOFLUX VKD7 9.0" and a line end.
inline const std::string kIdentified = test_texts::status_for("VKD7", "9.0\r\n");

class Tool : public ::testing::Test {
 protected:
  void TearDown() override {
    if (scheme != nullptr) {
      disable_pins();
      delete scheme;
      scheme = nullptr;
    }
    hl::reset();
    for (auto& s : sims) s->stop();
    clear_registered_ports();
  }

  devsim::Simulator& add_device(const std::string& com, devsim::Options options = {}) {
    options.image = image_bytes();
    sims.push_back(std::make_unique<devsim::Simulator>(std::move(options)));
    EXPECT_TRUE(sims.back()->start());
    register_port(com, sims.back()->port_path());
    return *sims.back();
  }

  // As a fresh process: pins silent, the start-up list not yet run.
  void start_tool() {
    disable_pins();
    set_startup_done(false);
    scheme = new TClassSimpleForm_2597650();
    scheme->Form->Start();
    hl::drain();
    // The ports are tried off the window thread; the list is complete once they answered.
    EXPECT_TRUE(until([&] { return !scheme->pwPorts->listing(); }, 5s));
  }

  tk::Window& w(WindowElement* element) { return *element->control(); }
  std::string status() { return w(scheme->edtStatus).text(); }
  bool until(const std::function<bool()>& pred, std::chrono::milliseconds t = 20s) {
    return hl::run_until(pred, t);
  }

  // Choose the port and wait for the identification's verdict.
  void choose(const std::string& com) {
    ASSERT_TRUE(hl::choose_item(w(scheme->cbxPort), com));
    ASSERT_TRUE(until([&] { return status() != kChoose; }));
  }

  bool end_screen() { return hl::shown(w(scheme->btnOk)); }

  std::vector<std::unique_ptr<devsim::Simulator>> sims;
  TClassSimpleForm_2597650* scheme = nullptr;
};

// Files and the program's entry, for the runs through the entry.
inline std::vector<std::string> read_lines(const std::string& path) {
  std::vector<std::string> lines;
  std::ifstream in(path, std::ios::binary);
  for (std::string l; std::getline(in, l);) {
    if (!l.empty() && l.back() == '\r') l.pop_back();
    lines.push_back(l);
  }
  return lines;
}

// A log line after its time ("2026-12-07T16:40:12.345+03:00 "); the time's form is checked.
inline std::string message_of(const std::string& line) {
  static const std::regex stamp(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d )");
  std::smatch m;
  if (!std::regex_search(line, m, stamp)) return "no time in: " + line;
  return m.suffix();
}

inline std::string log_path(const std::string& name) {
  // The process's own name: builds tested side by side must not share a log.
  const std::string path =
      ::testing::TempDir() + "kxflash_" + std::to_string(::getpid()) + "_" + name + ".log";
  std::remove(path.c_str());
  return path;
}

// Runs the program's entry with these arguments, as a fresh process would; gives up after 30 s.
inline int run_entry(std::vector<std::string> args) {
  disable_pins();
  set_startup_done(false);
  const auto give_up = std::chrono::steady_clock::now() + 30s;
  tk::set_idle_hook([give_up] {
    if (std::chrono::steady_clock::now() > give_up) tk::quit();
  });
  args.insert(args.begin(), "kxflash");
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  return run_tool(static_cast<int>(args.size()), argv.data());
}

}  // namespace kx::tool_testing
