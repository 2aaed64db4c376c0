#include "app/supervisor.hpp"

#include <algorithm>
#include <cstdio>
#include <string_view>

#include "app/escape.hpp"
#include "app/process_launcher.hpp"
#include "app/run_record.hpp"
#include "app/summary.hpp"
#include "app/unattended.hpp"
#include "app/update_log.hpp"

namespace kx {

std::string port_log_path(const std::string& log_path, const std::string& entry) {
  // A selector ("usb=0403:6001") may hold characters no file name may.
  std::string port = entry;
  for (char& c : port)
    if (std::string_view("\\/:*?\"<>|").find(c) != std::string_view::npos) c = '-';
  const std::size_t folder = log_path.find_last_of("\\/:");
  const std::size_t dot = log_path.rfind('.');
  const bool has_extension =
      dot != std::string::npos && (folder == std::string::npos || dot > folder + 1);
  if (!has_extension) return log_path + "-" + port;
  return log_path.substr(0, dot) + "-" + port + log_path.substr(dot);
}

std::vector<std::string> device_arguments(const CommandLine& line, std::size_t index,
                                          const std::string& channel) {
  std::vector<std::string> args = {
      "/auto=" + line.ports[index],
      "/place=" + std::to_string(index + 1) + "," + std::to_string(line.ports.size())};
  if (!line.log_path.empty())
    args.push_back("/log=" + port_log_path(line.log_path, line.ports[index]));
  args.push_back("/events=" + channel);
  return args;
}

int line_exit_code(const std::vector<int>& codes) {
  bool all_updated = true, line_lost = false;
  for (const int c : codes) {
    if (c == kExitUpdated) continue;
    if (c == kExitSummaryLost) {
      line_lost = true;
      continue;
    }
    all_updated = false;
    if (c != kExitNoDevice) return kExitTransferFailed;
  }
  if (!all_updated) return kExitNoDevice;
  return line_lost ? kExitSummaryLost : kExitUpdated;
}

namespace {

using Clock = std::chrono::steady_clock;

std::string how_it_ended(const ProcessEnd& end) {
  char text[96];
  if (!end.exited)
    std::snprintf(text, sizeof text, "killed by signal %lld", end.code);
  else if (end.code > 255 || end.code < 0)
    std::snprintf(text, sizeof text, "exit code 0x%08llX", end.code & 0xFFFFFFFFLL);
  else
    std::snprintf(text, sizeof text, "exit code %lld", end.code);
  return text;
}

long long whole_seconds(Clock::duration d) {
  return std::chrono::duration_cast<std::chrono::seconds>(d).count();
}

// One port of the run as the first process follows it.
struct Device {
  std::string port;
  int id = -1;                // the launcher's; -1: not started
  bool recorded = false;      // its summary line is written
  bool done = false;          // its process ended, was given up, or never started
  bool told_found = false;    // its process told the device's identity
  RunEvent found;             // that event
  int blocks = -1;            // blocks acknowledged, as last told; -1: none told
  Clock::time_point heard{};  // its process's last event (or its start)
  std::string ended_why;      // why the first process ended it; empty: it did not
  Clock::time_point ended_at{};
  bool unreadable_said = false;
  int code = kExitTransferFailed;
};

class Supervision {
 public:
  Supervision(const CommandLine& line, ProcessLauncher& launcher, UpdateLog& log,
              const SuperviseOptions& options)
      : line_(line), launcher_(launcher), log_(log), options_(options) {}

  int run() {
    std::string ports;
    for (const std::string& p : line_.ports) ports += (ports.empty() ? "" : ", ") + p;
    log_.line("line of " + std::to_string(line_.ports.size()) + " ports: " + ports);
    began_ = Clock::now();
    next_report_ = began_ + options_.report_every;
    devices_.resize(line_.ports.size());
    for (std::size_t i = 0; i < devices_.size(); ++i) start(i);
    while (!all_done()) {
      const ProcessNews news = launcher_.wait(bound());
      if (news.kind == ProcessNews::Kind::None) break;
      if (news.kind == ProcessNews::Kind::Line) heard(news.id, news.line);
      if (news.kind == ProcessNews::Kind::Ended) ended(news.id, news.end);
      look_after(Clock::now());
    }
    // Whatever is left (a launcher that reports no more) still gets its line.
    for (std::size_t i = 0; i < devices_.size(); ++i)
      if (!devices_[i].recorded) interrupted(i, "the first process lost sight of it");
    std::vector<int> codes;
    for (const Device& d : devices_) codes.push_back(d.code);
    return line_exit_code(codes);
  }

 private:
  void start(std::size_t i) {
    Device& d = devices_[i];
    d.port = line_.ports[i];
    d.heard = Clock::now();
    std::string problem;
    const auto args = [&](const std::string& channel) {
      return options_.arguments ? options_.arguments(i, channel)
                                : device_arguments(line_, i, channel);
    };
    d.id = launcher_.start(args, problem);
    if (d.id < 0) {
      d.done = true;
      record(i, failure(i, "the process for the port could not be started: " + problem,
                        result_of(kExitTransferFailed)));
      return;
    }
    if (by_id_.size() <= static_cast<std::size_t>(d.id))
      by_id_.resize(static_cast<std::size_t>(d.id) + 1, -1);
    by_id_[static_cast<std::size_t>(d.id)] = static_cast<int>(i);
  }

  Device* device_of(int id, std::size_t& i) {
    if (id < 0 || static_cast<std::size_t>(id) >= by_id_.size() ||
        by_id_[static_cast<std::size_t>(id)] < 0)
      return nullptr;
    i = static_cast<std::size_t>(by_id_[static_cast<std::size_t>(id)]);
    return &devices_[i];
  }

  bool all_done() const {
    return std::all_of(devices_.begin(), devices_.end(),
                       [](const Device& d) { return d.done && d.recorded; });
  }

  // Until the next thing to look at: a report, a process that may be stuck, an end overdue.
  std::chrono::milliseconds bound() const {
    Clock::time_point next = next_report_;
    for (const Device& d : devices_) {
      if (d.done) continue;
      next = std::min(next, d.ended_why.empty() ? d.heard + options_.stuck_after
                                                : d.ended_at + options_.end_grace);
    }
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(next - Clock::now());
    return std::max(left, std::chrono::milliseconds(0));
  }

  void heard(int id, const std::string& text) {
    std::size_t i = 0;
    Device* d = device_of(id, i);
    if (d == nullptr) return;
    RunEvent e;
    if (!parse_event_line(text, e)) {
      if (!d->unreadable_said)
        log_.line(d->port + ": its process wrote a line that is no event: \"" +
                  printable(text.substr(0, 200)) + "\"");
      d->unreadable_said = true;
      return;
    }
    d->heard = Clock::now();
    if (e.kind == RunEvent::Kind::Identified) {
      d->told_found = true;
      d->found = e;
    } else if (e.kind == RunEvent::Kind::Progress) {
      d->blocks = e.blocks;
    } else if (e.kind == RunEvent::Kind::Result) {
      if (d->recorded) return;  // one record per device: the first result stands
      d->code = e.record.exit_code;
      record(i, e.record);
      return;
    }
    if (options_.events) options_.events(i, e);
  }

  void ended(int id, const ProcessEnd& end) {
    std::size_t i = 0;
    Device* d = device_of(id, i);
    if (d == nullptr || d->done) return;
    d->done = true;
    const bool normal =
        end.exited &&
        (end.code == kExitUpdated || end.code == kExitTransferFailed || end.code == kExitNoDevice);
    if (d->recorded) {
      log_.line(d->port + ": its process ended, " + how_it_ended(end) +
                (normal ? "" : ", after its result"));
      return;
    }
    if (!d->ended_why.empty()) {
      interrupted(i, d->ended_why + "; it ended, " + how_it_ended(end));
      return;
    }
    interrupted(i, "the process serving the port ended without a result: " + how_it_ended(end));
  }

  void look_after(Clock::time_point now) {
    for (std::size_t i = 0; i < devices_.size(); ++i) {
      Device& d = devices_[i];
      if (d.done) continue;
      if (d.ended_why.empty() && now - d.heard >= options_.stuck_after) {
        d.ended_why = "no step for " + std::to_string(whole_seconds(now - d.heard)) +
                      " s: the first process ended it";
        d.ended_at = now;
        log_.line(d.port + ": " + d.ended_why);
        launcher_.end(d.id);
      } else if (!d.ended_why.empty() && now - d.ended_at >= options_.end_grace) {
        d.done = true;
        launcher_.forget(d.id);
        log_.line(d.port + ": its process did not end when told; given up");
        if (!d.recorded) interrupted(i, d.ended_why + "; it did not end");
      }
    }
    if (now < next_report_) return;
    next_report_ = now + options_.report_every;
    std::string awaited;
    for (const Device& d : devices_) {
      if (d.done) continue;
      awaited += (awaited.empty() ? "" : ", ") + d.port + " (last step " +
                 std::to_string(whole_seconds(now - d.heard)) + " s ago)";
    }
    if (!awaited.empty()) log_.line("waiting for " + awaited);
  }

  RunRecord failure(std::size_t i, const std::string& reason, const char* result) const {
    const Device& d = devices_[i];
    RunRecord r;
    r.ended = std::chrono::system_clock::now();
    r.port = d.port;
    if (d.told_found) {
      r.model = d.found.model;
      r.firmware = d.found.firmware;
    }
    r.result = result;
    r.blocks = d.blocks >= 0 ? d.blocks : d.told_found ? 0 : -1;
    r.seconds = std::chrono::duration<double>(Clock::now() - began_).count();
    r.exit_code = result == std::string_view(kInterrupted) ? kExitInterrupted : kExitTransferFailed;
    r.reason = reason;
    return r;
  }

  void interrupted(std::size_t i, const std::string& reason) {
    record(i, failure(i, reason, kInterrupted));
  }

  // The port's one summary line, and its result told to the caller.
  void record(std::size_t i, const RunRecord& r) {
    Device& d = devices_[i];
    d.recorded = true;
    d.code = r.exit_code;
    log_.line(d.port + ": " + r.result + (r.reason.empty() ? "" : ": " + printable(r.reason)));
    d.code =
        code_with_summary(d.code, append_summary_line(line_.summary_path, r, log_, d.port + ": "));
    if (options_.events) options_.events(i, result_event(r));
  }

  const CommandLine& line_;
  ProcessLauncher& launcher_;
  UpdateLog& log_;
  const SuperviseOptions& options_;
  std::vector<Device> devices_;
  std::vector<int> by_id_;  // the device of each launcher id; -1: none
  Clock::time_point began_{}, next_report_{};
};

}  // namespace

int supervise(const CommandLine& line, ProcessLauncher& launcher, UpdateLog& log,
              const SuperviseOptions& options) {
  return Supervision(line, launcher, log, options).run();
}

}  // namespace kx
