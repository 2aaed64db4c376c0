#include "app/entry.hpp"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "app/command_line.hpp"
#include "app/console.hpp"
#include "app/disk_file.hpp"
#include "app/escape.hpp"
#include "app/event_channel.hpp"
#include "app/line_window.hpp"
#include "app/port_choice.hpp"
#include "app/port_listing.hpp"
#include "app/process_launcher.hpp"
#include "app/record_paths.hpp"
#include "app/run_record.hpp"
#include "app/summary.hpp"
#include "app/supervisor.hpp"
#include "app/unattended.hpp"
#include "app/unattended_wiring.hpp"
#include "app/update_log.hpp"
#include "app/usage.hpp"
#include "app/version.hpp"
#include "elements/stream/crc16_32.hpp"
#include "elements/window/simple_form.hpp"
#include "runtime/resource.hpp"
#include "schemes/main_scheme.hpp"
#include "toolkit/toolkit.hpp"

namespace kx {

const char* const kInfoCaption = "Magnetoflux bootloader";
// "Программа обновления ПО устройства MAGNETOFLUX. Версия ПО для обновления: 9.1 (VKD7/NKD7)"
const char* const kInfoText =
    "\xCF\xF0\xEE\xE3\xF0\xE0\xEC\xEC\xE0 \xEE\xE1\xED\xEE\xE2\xEB\xE5\xED\xE8\xFF \xCF\xCE "
    "\xF3\xF1\xF2\xF0\xEE\xE9\xF1\xF2\xE2\xE0 MAGNETOFLUX.\r\n\xC2\xE5\xF0\xF1\xE8\xFF \xCF\xCE "
    "\xE4\xEB\xFF \xEE\xE1\xED\xEE\xE2\xEB\xE5\xED\xE8\xFF: 9.1 (VKD7/NKD7)";

const char* const kToolVersion = KX_VERSION;

std::string carried_image() {
  const std::span<const std::uint8_t> image = resource_bytes("STREAM0");
  const std::string crc =
      compute_crc(std::string_view(reinterpret_cast<const char*>(image.data()), image.size()), 0, 0,
                  0xA001, 0xFFFF, 0);
  return "image " + std::to_string(image.size()) + " bytes, CRC-16 " + crc;
}

namespace {

// The start line: the tool, the image it carries and how it runs.
std::string start_line(const CommandLine& line) {
  std::string text = std::string("start: kxflash ") + kToolVersion + ", " + carried_image();
  std::string ports;
  for (const std::string& p : line.ports) ports += (ports.empty() ? "" : ", ") + p;
  text += line.mode == CommandLine::Mode::Auto ? ", unattended on " + ports : ", attended";
  return text;
}

}  // namespace

int run_tool(int argc, char** argv, TClassSimpleForm_2597650** running) {
  const CommandLine line = parse_command_line(argc, argv);
  if (line.mode == CommandLine::Mode::Info) {
    tk::message_box(kInfoCaption, kInfoText);
    return 0;
  }
  if (line.mode == CommandLine::Mode::Help) {
    show_command_line_use();
    return 0;
  }
  if (line.mode == CommandLine::Mode::List) {
    if (std::unique_ptr<LogFile> out = program_output())
      return list_ports(line.json, *out, kConsoleLineEnd);
    tk::message_box(kInfoCaption,
                    port_list_text(serial::list_port_identities(), line.json, "\r\n"));
    return 0;
  }
  // The log goes to a disk file only: a path that names a port would send the port its lines.
  const std::string log_problem =
      line.log_path.empty() ? std::string() : disk_file_problem(line.log_path);
  const bool echo = line.mode != CommandLine::Mode::Normal;  // /auto, also a bad one
  // One device of several: its lines on the shared console begin with its port.
  std::unique_ptr<LogFile> console = echo ? parent_console() : nullptr;
  if (line.places > 0) console = with_line_prefix(std::move(console), line.port + " ");
  UpdateLog log(log_problem.empty() ? line.log_path : std::string(), std::move(console));
  const bool unattended_run = line.mode == CommandLine::Mode::Auto;
  std::string problem;
  if (line.mode == CommandLine::Mode::Bad)
    problem = line.problem;
  else if (unattended_run)
    problem = record_paths_problem(line);
  // A device's process of a run of several: its events go to the first process.
  std::unique_ptr<ChannelSink> events;
  if (problem.empty() && !line.events.empty()) {
    if (std::unique_ptr<ChannelWriter> channel = open_channel(line.events, problem))
      events = std::make_unique<ChannelSink>(std::move(channel));
  }
  if (problem.empty() && unattended_run && line.ports.size() > 1 &&
      has_adapter_selector(line.ports))
    resolve_ports(line.ports, serial::list_port_identities(), problem);  // one port named twice
  if (!problem.empty()) {
    // Nothing waits for a person: no window, no box; the script reads the code.
    log.line("bad command line: " + printable(problem) + "; exit code " +
             std::to_string(kExitBadCommandLine));
    return kExitBadCommandLine;
  }
  log.line(start_line(line));
  if (unattended_run && line.ports.size() > 1) {
    end_started_processes_on_signals();
    const int code = supervise(line, *make_process_launcher(), log);
    log.line("exit code " + std::to_string(code));
    return code;
  }
  // The port by its name or its adapter, resolved now; none or several: no device, nothing opened.
  const RunPort port = unattended_run ? choose_run_port(line.port) : RunPort{};
  if (unattended_run && !port.chosen.found) {
    const RunRecord r = no_device_record(line.port, port.chosen.problem);
    log.line("no device: " + printable(r.reason) + "; nothing is opened");
    if (events) events->on_event(result_event(r));
    append_summary_line(line.summary_path, r, log);
    log.line("exit code " + std::to_string(r.exit_code));
    return r.exit_code;
  }
  auto* scheme = new TClassSimpleForm_2597650();
  if (running != nullptr) *running = scheme;
  auto* unattended = new UnattendedWiring(scheme, port.open_name, &log);
  unattended->driver().Events = events.get();
  unattended->driver().Selector = port.selector;
  unattended->driver().Adapter = port.chosen.port;
  if (!port.selector.empty())
    unattended->driver().AdapterCheck = [expected = port.chosen.port] {
      return adapter_change(expected);
    };
  if (line.places > 0) place_line_window(*scheme, port.open_name, line.place, line.places);
  // The run's outcome, and its summary line once.
  bool summed_up = false, line_lost = false;
  const auto outcome = [&] {
    const int driver_code = unattended->driver().exit_code();
    if (unattended_run && !summed_up) {
      summed_up = true;
      line_lost = !append_summary_line(line.summary_path,
                                       record_of(unattended->driver(), port.open_name), log);
    }
    return code_with_summary(driver_code, !line_lost);
  };
  // The session ends while the run goes on: the process ends at once, and says so truly.
  tk::set_session_end([&] {
    unattended->driver().interrupt("the session ended (log-off or shutdown)");
    const int code = outcome();
    log.line("the session ends; exit code " + std::to_string(code));
    if (events) events->finish();  // the result line to the first process before the end
    return code;
  });
  scheme->Form->Start();
  tk::run_message_loop();
  tk::set_session_end(nullptr);
  const int code = outcome();
  // The scheme goes first: its teardown fires nothing (the pins are silent), and no link of
  // the driver's elements points into it.
  if (running != nullptr) *running = nullptr;
  delete scheme;
  delete unattended;
  log.line("exit code " + std::to_string(code));
  return code;
}

}  // namespace kx
