#include "app/station.hpp"

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "app/console.hpp"
#include "app/entry.hpp"
#include "app/escape.hpp"
#include "app/event_channel.hpp"
#include "app/log_file.hpp"
#include "app/port_choice.hpp"
#include "app/port_listing.hpp"
#include "app/port_selector.hpp"
#include "app/process_launcher.hpp"
#include "app/record_paths.hpp"
#include "app/run_events.hpp"
#include "app/run_record.hpp"
#include "app/station_line.hpp"
#include "app/station_options.hpp"
#include "app/station_ports.hpp"
#include "app/station_signals.hpp"
#include "app/station_view.hpp"
#include "app/summary.hpp"
#include "app/unattended.hpp"
#include "app/unattended_wiring.hpp"
#include "app/update_log.hpp"
#include "elements/serial/com_async.hpp"
#include "elements/serial/port_table.hpp"
#include "elements/window/simple_form.hpp"
#include "runtime/firing.hpp"
#include "schemes/main_scheme.hpp"
#include "toolkit/toolkit.hpp"

namespace kx {

namespace {

// The name the scheme knows the one port of this process by; the port table maps it to the
// device.
constexpr const char* kSchemePort = "COM1";

void say(int fd, const std::string& text) {
  log_file_on(fd, false)->append(text);
}

int bad_command_line(const std::string& problem) {
  say(STDERR_FILENO, "kxflash: " + printable(problem) + " (exit code 3; kxflash --help)\n");
  return kExitBadCommandLine;
}

// The log's lines as a terminal or a pipe on Linux takes them: "\n" alone ends a line.
class LinuxLines final : public LogFile {
 public:
  explicit LinuxLines(std::unique_ptr<LogFile> out) : out_(std::move(out)) {}
  bool append(std::string_view bytes) override {
    std::string text;
    for (std::size_t i = 0; i < bytes.size(); ++i)
      if (bytes[i] != '\r' || i + 1 == bytes.size() || bytes[i + 1] != '\n') text += bytes[i];
    return out_->append(text);
  }

 private:
  std::unique_ptr<LogFile> out_;
};

// The device behind the port, named in every event, and the record's device.
class NamedEvents final : public RunEventSink {
 public:
  NamedEvents(const StationPort& port, RunEventSink& next) : port_(port), next_(next) {}
  void on_event(const RunEvent& event) override {
    RunEvent e = event;
    e.port = port_.name;
    e.record.port = port_.name;
    e.record.device = port_.device;
    next_.on_event(e);
  }

 private:
  const StationPort& port_;
  RunEventSink& next_;
};

// The update of one device in this process: the main scheme on the headless toolkit, driven
// as "/auto" drives the window, until its result or a stop signal.
int update_here(const StationOutput& out, const StationPort& port, UpdateLog& log,
                RunEventSink& events, SignalWatch& signals) {
  clear_registered_ports();
  register_port(kSchemePort, port.device);
  auto* scheme = new TClassSimpleForm_2597650();
  auto* wiring = new UnattendedWiring(scheme, kSchemePort, &log);
  TKxUnattended& driver = wiring->driver();
  NamedEvents named(port, events);
  driver.Name = port.name;
  driver.Events = &named;
  driver.Selector = port.selector;
  driver.Adapter = port.adapter;
  if (!port.selector.empty())
    driver.AdapterCheck = [expected = port.adapter] { return adapter_change(expected); };
  bool stopped = false;
  // A stop signal: the port is closed at once (nothing more is written to the device), the
  // run is recorded as interrupted and the loop ends. The loop looks after each batch of
  // messages, at least every 20 ms.
  tk::set_idle_hook([&] {
    if (stopped || signals.first() == 0) return;
    stopped = true;
    disable_pins();
    TData none;
    scheme->com->doClose(none, 0);
    driver.interrupt(std::string("interrupted by ") + signal_name(signals.first()));
    tk::quit();
  });
  scheme->Form->Start();
  tk::run_message_loop();
  tk::set_idle_hook(nullptr);
  RunRecord r = record_of(driver, port.name);
  r.device = port.device;
  // An update without its record is not a plain success, as with several ports.
  const int code =
      code_with_summary(driver.exit_code(), append_summary_line(out.summary_path, r, log));
  delete scheme;
  delete wiring;
  clear_registered_ports();
  return code;
}

}  // namespace

std::unique_ptr<LogFile> operator_lines(int fd, const std::string& prefix) {
  std::unique_ptr<LogFile> out = log_file_on(fd, false);
  if (!prefix.empty()) out = with_line_prefix(std::move(out), prefix);
  return std::make_unique<LinuxLines>(std::move(out));
}

std::string station_start_line(const std::string& what) {
  return std::string("start: kxflash ") + kToolVersion + ", " + carried_image() + ", " + what;
}

int run_device(const StationOutput& out, const StationPort& port, RunEventSink& events,
               SignalWatch& signals) {
  UpdateLog log(out.log_path, out.echo ? operator_lines(out.human_fd, port.name + " ") : nullptr);
  const std::string adapter = adapter_words(port.adapter);
  log.line(station_start_line("port " + both_names(port) +
                              (adapter.empty() ? "" : ", adapter " + adapter)));
  int code = kExitNoDevice;
  if (const std::string refusal = !port.unresolved.empty() ? port.unresolved : port_refusal(port);
      !refusal.empty()) {
    // Refused at once: nothing was written to the port, and its holder is left alone.
    log.line("no device: " + refusal);
    // Its record as the update would have written it.
    RunRecord r = no_device_record(port.name, refusal);
    r.device = port.device;
    r.adapter = port.adapter;
    r.blocks = 0;
    RunEvent start;
    start.port = port.name;
    start.time = iso8601_local(std::chrono::system_clock::now());
    events.on_event(start);
    events.on_event(result_event(r));
    append_summary_line(out.summary_path, r, log);
  } else {
    code = update_here(out, port, log, events, signals);
  }
  log.line("exit code " + std::to_string(code));
  return code;
}

int run_station(int argc, char** argv) {
  const StationOptions o = parse_station_options(argc, argv);
  switch (o.mode) {
    case StationOptions::Mode::List:
      return list_ports(o.json, *log_file_on(STDOUT_FILENO, false), "\n");
    case StationOptions::Mode::Help:
      say(STDOUT_FILENO, station_help());
      return 0;
    case StationOptions::Mode::Version:
      say(STDOUT_FILENO, station_version());
      return 0;
    case StationOptions::Mode::Bad:
      return bad_command_line(o.problem);
    case StationOptions::Mode::Run:
      break;
  }
  std::vector<StationPort> ports;
  if (const std::string problem = resolve_ports(o.ports, ports); !problem.empty())
    return bad_command_line(problem);
  // Every file the run writes, each port's log by the name its process will be given.
  std::vector<PortLogName> port_logs;
  for (const StationPort& p : ports) port_logs.push_back({p.name, device_tag(p.device)});
  if (const std::string problem = record_paths_problem(o.log_path, port_logs, o.summary_path);
      !problem.empty())
    return bad_command_line(problem);

  // A reader of the output that goes away (`kxflash ... | head`) must not end an update
  // half-way: its writes fail instead, and the update goes on.
  ::signal(SIGPIPE, SIG_IGN);
  // Before the first thread: every thread started from here on leaves the stop signals to
  // the watch.
  SignalWatch::block_stop_signals();
  SignalWatch signals([](int) { end_started_processes(); });

  StationOutput out;
  out.log_path = o.log_path;
  out.summary_path = o.summary_path;
  out.human_fd = o.json ? STDERR_FILENO : STDOUT_FILENO;
  out.live = ::isatty(out.human_fd) != 0;
  out.echo = !out.live;
  if (!o.events.empty()) {
    // One device of a run of several: its events go to the run's first process, which shows
    // them and writes the summary.
    std::string problem;
    std::unique_ptr<ChannelWriter> channel = open_channel(o.events, problem);
    if (!channel) return bad_command_line("--events: " + problem);
    ChannelSink to_first(std::move(channel));
    out.summary_path.clear();
    return run_device(out, ports.front(), to_first, signals);
  }
  if (modem_manager_runs()) say(out.human_fd, modem_manager_note());
  return run_station_ports(out, o.json, ports, signals);
}

}  // namespace kx
