#include "app/supervisor.hpp"

#include <chrono>
#include <cstdio>

#include "app/process_launcher.hpp"
#include "app/run_record.hpp"
#include "app/summary.hpp"
#include "app/unattended.hpp"
#include "app/update_log.hpp"

namespace kx {

std::string port_log_path(const std::string& log_path, const std::string& port) {
  const std::size_t folder = log_path.find_last_of("\\/:");
  const std::size_t dot = log_path.rfind('.');
  const bool has_extension =
      dot != std::string::npos && (folder == std::string::npos || dot > folder + 1);
  if (!has_extension) return log_path + "-" + port;
  return log_path.substr(0, dot) + "-" + port + log_path.substr(dot);
}

std::vector<std::string> device_arguments(const CommandLine& line, std::size_t index) {
  std::vector<std::string> args = {
      "/auto=" + line.ports[index],
      "/place=" + std::to_string(index + 1) + "," + std::to_string(line.ports.size())};
  if (!line.log_path.empty())
    args.push_back("/log=" + port_log_path(line.log_path, line.ports[index]));
  if (!line.summary_path.empty()) args.push_back("/summary=" + line.summary_path);
  return args;
}

int line_exit_code(const std::vector<int>& codes) {
  bool all_updated = true;
  for (const int c : codes) {
    if (c == kExitTransferFailed) return kExitTransferFailed;
    if (c != kExitUpdated) all_updated = false;
  }
  return all_updated ? kExitUpdated : kExitNoDevice;
}

namespace {

// A failure the device's own process could not record: the supervisor writes its line.
void record_failure(const CommandLine& line, std::size_t index, double seconds,
                    const std::string& reason, UpdateLog& log) {
  log.line(line.ports[index] + ": " + reason);
  if (line.summary_path.empty()) return;
  RunRecord r;
  r.ended = std::chrono::system_clock::now();
  r.port = line.ports[index];
  r.exit_code = kExitTransferFailed;
  r.result = result_of(r.exit_code);
  r.seconds = seconds;
  r.reason = reason;
  const std::string problem = write_summary(line.summary_path, r);
  if (!problem.empty()) log.line(line.ports[index] + ": the summary line is lost: " + problem);
}

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

}  // namespace

int supervise(const CommandLine& line, ProcessLauncher& launcher, UpdateLog& log) {
  std::string ports;
  for (const std::string& p : line.ports) ports += (ports.empty() ? "" : ", ") + p;
  log.line("line of " + std::to_string(line.ports.size()) + " ports: " + ports);
  const auto began = std::chrono::steady_clock::now();
  const auto seconds = [&] {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
  };
  std::vector<int> codes(line.ports.size(), kExitTransferFailed);
  std::vector<int> index_of_id;
  for (std::size_t i = 0; i < line.ports.size(); ++i) {
    std::string problem;
    const int id = launcher.start(device_arguments(line, i), problem);
    if (id < 0) {
      record_failure(line, i, seconds(),
                     "the process for the port could not be started: " + problem, log);
      continue;
    }
    if (index_of_id.size() <= static_cast<std::size_t>(id))
      index_of_id.resize(static_cast<std::size_t>(id) + 1, -1);
    index_of_id[static_cast<std::size_t>(id)] = static_cast<int>(i);
  }
  for (ProcessEnd end = launcher.wait_any(); end.id >= 0; end = launcher.wait_any()) {
    if (static_cast<std::size_t>(end.id) >= index_of_id.size() ||
        index_of_id[static_cast<std::size_t>(end.id)] < 0)
      continue;
    const auto i = static_cast<std::size_t>(index_of_id[static_cast<std::size_t>(end.id)]);
    const bool normal =
        end.exited &&
        (end.code == kExitUpdated || end.code == kExitTransferFailed || end.code == kExitNoDevice);
    if (normal) {
      codes[i] = static_cast<int>(end.code);
      log.line(line.ports[i] + ": " + result_of(codes[i]) + ", " + how_it_ended(end));
    } else {
      record_failure(line, i, seconds(),
                     "the process serving the port ended abnormally: " + how_it_ended(end), log);
    }
  }
  return line_exit_code(codes);
}

}  // namespace kx
