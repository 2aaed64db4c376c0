#include "app/station_line.hpp"

#include <sys/ioctl.h>
#include <unistd.h>

#include <memory>

#include "app/log_file.hpp"
#include "app/station_ports.hpp"
#include "app/station_signals.hpp"
#include "app/station_view.hpp"
#include "app/unattended.hpp"

namespace kx {

namespace {

int columns_of(int fd) {
  winsize w{};
  return ::ioctl(fd, TIOCGWINSZ, &w) == 0 && w.ws_col > 0 ? w.ws_col : 80;
}

}  // namespace

int run_station_ports(const StationOutput& out, bool json, const std::vector<StationPort>& ports,
                      SignalWatch& signals) {
  std::unique_ptr<LogFile> human = log_file_on(out.human_fd, false);
  std::unique_ptr<LogFile> standard_output = log_file_on(STDOUT_FILENO, false);
  std::vector<std::string> names;
  for (const StationPort& p : ports) names.push_back(p.name);
  std::vector<RunEventSink*> sinks;
  std::unique_ptr<TerminalView> view;
  if (out.live) {
    view = std::make_unique<TerminalView>(*human, names, columns_of(out.human_fd));
    sinks.push_back(view.get());
  }
  std::unique_ptr<JsonLines> lines;
  if (json) {
    lines = std::make_unique<JsonLines>(*standard_output);
    sinks.push_back(lines.get());
  }
  EventFanOut events(sinks);
  int code = kExitNoDevice;
  if (ports.size() == 1) code = run_device(out, ports.front(), events, signals);
  if (view) view->finish();
  return code;
}

}  // namespace kx
