#include "app/summary.hpp"

#include <atomic>
#include <cstdio>

#include "app/disk_file.hpp"
#include "app/escape.hpp"
#include "app/summary_file.hpp"
#include "app/unattended.hpp"
#include "app/update_log.hpp"

namespace kx {

std::string summary_line(const RunRecord& r) {
  return "{" + summary_fields(r) + "}\r\n";
}

std::string summary_fields(const RunRecord& r) {
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.1f", r.seconds < 0 ? 0.0 : r.seconds);
  std::string line = "\"time\":" + json_string(r.time.empty() ? iso8601_local(r.ended) : r.time);
  line += ",\"port\":" + json_string(r.port);
  if (!r.device.empty() && r.device != r.port) line += ",\"device\":" + json_string(r.device);
  line += ",\"model\":" + json_string(r.model);
  line += ",\"firmware\":" + json_string(r.firmware);
  line += ",\"offered\":" + json_string(r.offered);
  line += ",\"result\":" + json_string(r.result);
  line += ",\"blocks\":" + (r.blocks < 0 ? std::string("null") : std::to_string(r.blocks));
  line += ",\"seconds\":" + std::string(seconds);
  line += ",\"exit_code\":" + std::to_string(r.exit_code);
  line += ",\"reason\":" + json_string(r.reason);
  // Where the port was chosen by its adapter, or its adapter is known: which it was.
  if (!r.selector.empty()) line += ",\"selector\":" + json_string(r.selector);
  if (serial::is_usb(r.adapter)) {
    line += ",\"usb\":" + json_string(r.adapter.vid + ":" + r.adapter.pid);
    line += ",\"serial\":" + json_string(r.adapter.serial);
    line += ",\"location\":" + json_string(r.adapter.location);
    line += ",\"interface\":" + json_string(r.adapter.interface_number);
  }
  return line;
}

namespace {

std::atomic<long long> g_write_limit{-1};

}  // namespace

void summary_testing::fail_writes_after(long long bytes) {
  g_write_limit.store(bytes);
}

std::size_t summary_detail::allowed(std::size_t wanted) {
  long long left = g_write_limit.load();
  for (;;) {
    if (left < 0) return wanted;
    const auto take = static_cast<long long>(wanted) < left ? static_cast<long long>(wanted) : left;
    if (g_write_limit.compare_exchange_weak(left, left - take))
      return static_cast<std::size_t>(take);
  }
}

std::string summary_detail::with_line_start(std::string_view bytes, bool has_last, char last) {
  std::string text = has_last && last != '\n' && !bytes.empty() ? "\r\n" : "";
  return text.append(bytes);
}

std::string check_summary_path(const std::string& path) {
  if (const std::string problem = disk_file_problem(path); !problem.empty())
    return "the summary path " + problem + ": " + path;
  const std::string problem = append_locked(path, "");
  return problem.empty() ? problem : "the summary file " + path + ": " + problem;
}

std::string write_summary(const std::string& path, const RunRecord& record) {
  if (const std::string problem = disk_file_problem(path); !problem.empty())
    return "the summary path " + problem + ": " + path;
  return append_locked(path, summary_line(record));
}

bool append_summary_line(const std::string& path, const RunRecord& record, UpdateLog& log,
                         const std::string& heading) {
  if (path.empty()) return true;
  const std::string lost = write_summary(path, record);
  if (!lost.empty()) log.line(heading + "the summary line is lost: " + printable(lost));
  return lost.empty();
}

int code_with_summary(int code, bool written) {
  return !written && code == kExitUpdated ? static_cast<int>(kExitSummaryLost) : code;
}

}  // namespace kx
