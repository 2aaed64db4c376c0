#include "app/station_line.hpp"

#include <sys/ioctl.h>
#include <unistd.h>

#include <memory>
#include <set>

#include "app/command_line.hpp"
#include "app/log_file.hpp"
#include "app/process_launcher.hpp"
#include "app/queued_writer.hpp"
#include "app/station_ports.hpp"
#include "app/station_signals.hpp"
#include "app/station_view.hpp"
#include "app/supervisor.hpp"
#include "app/unattended.hpp"
#include "app/update_log.hpp"

namespace kx {

namespace {

int columns_of(int fd) {
  winsize w{};
  return ::ioctl(fd, TIOCGWINSZ, &w) == 0 && w.ws_col > 0 ? w.ws_col : 80;
}

// The results' reasons, kept to explain a refused port once the live lines are done.
class Refusals final : public RunEventSink {
 public:
  void on_event(const RunEvent& e) override {
    if (e.kind == RunEvent::Kind::Result && !refusal_hint(e.record.reason).empty())
      reasons_.push_back(e.record.reason);
  }
  // Each reason, and what to do about it once for each kind.
  std::string text() const {
    std::string out;
    std::set<std::string> hints;
    for (const std::string& r : reasons_) out += "kxflash: " + r + "\n";
    for (const std::string& r : reasons_)
      if (hints.insert(refusal_hint(r)).second) out += refusal_hint(r);
    return out;
  }

 private:
  std::vector<std::string> reasons_;
};

// Several ports: one process per device (app/supervisor.hpp), each the station again with its
// port and the channel it tells its events on.
int run_line(const StationOutput& out, bool json, const std::vector<StationPort>& ports,
             RunEventSink& events, SignalWatch& signals) {
  CommandLine line;
  line.mode = CommandLine::Mode::Auto;
  std::string names;
  for (const StationPort& p : ports) {
    line.ports.push_back(p.name);
    names += (names.empty() ? "" : ", ") + both_names(p);
  }
  line.log_path = out.log_path;
  line.summary_path = out.summary_path;
  UpdateLog log(out.log_path, out.echo ? operator_lines(out.human_fd, "") : nullptr);
  log.line(station_start_line("ports " + names));
  SuperviseOptions options;
  options.arguments = [&](std::size_t i, const std::string& channel) {
    std::vector<std::string> args = {"--port", ports[i].name, "--events", channel};
    if (!out.log_path.empty())
      args.insert(args.end(), {"--log", port_log_path(out.log_path, device_tag(ports[i].device))});
    if (json) args.push_back("--json");  // the same stream for its human text
    return args;
  };
  options.events = [&](std::size_t, const RunEvent& e) { events.on_event(e); };
  std::unique_ptr<ProcessLauncher> launcher = make_process_launcher();
  int code = supervise(line, *launcher, log, options);
  if (signals.first() != 0) code = kExitInterrupted;
  log.line("exit code " + std::to_string(code));
  return code;
}

}  // namespace

int run_station_ports(const StationOutput& out, bool json, const std::vector<StationPort>& ports,
                      SignalWatch& signals) {
  // The operator's text and the JSON lines are written on threads of their own: a reader of the
  // output that stalls holds up no update (nor, through the first process, any other port's).
  QueuedWriter human(log_file_on(out.human_fd, false));
  QueuedWriter standard_output(log_file_on(STDOUT_FILENO, false));
  std::vector<std::string> names;
  for (const StationPort& p : ports) names.push_back(p.name);
  Refusals refusals;
  std::vector<RunEventSink*> sinks = {&refusals};
  std::unique_ptr<TerminalView> view;
  if (out.live) {
    view = std::make_unique<TerminalView>(human, names, columns_of(out.human_fd));
    sinks.push_back(view.get());
  }
  std::unique_ptr<JsonLines> lines;
  if (json) {
    lines = std::make_unique<JsonLines>(standard_output);
    sinks.push_back(lines.get());
  }
  EventFanOut events(sinks);
  const int code = ports.size() == 1 ? run_device(out, ports.front(), events, signals)
                                     : run_line(out, json, ports, events, signals);
  if (view) view->finish();
  if (const std::string text = refusals.text(); !text.empty()) human.append(text);
  // Every result is on the output before the exit code reports the run (a bounded wait each).
  standard_output.finish();
  human.finish();
  return code;
}

}  // namespace kx
