#include "app/summary.hpp"

#include <cstdio>

#include "app/disk_file.hpp"
#include "app/summary_file.hpp"
#include "app/update_log.hpp"

namespace kx {

namespace {

std::string json_text(const std::string& bytes) {
  std::string out = "\"";
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (b < 0x20 || b >= 0x7F) {
      char u[8];
      std::snprintf(u, sizeof u, "\\u%04X", static_cast<unsigned>(b));
      out += u;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

}  // namespace

std::string summary_line(const RunRecord& r) {
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.1f", r.seconds < 0 ? 0.0 : r.seconds);
  std::string line = "{\"time\":" + json_text(iso8601_local(r.ended));
  line += ",\"port\":" + json_text(r.port);
  line += ",\"model\":" + json_text(r.model);
  line += ",\"firmware\":" + json_text(r.firmware);
  line += ",\"offered\":" + json_text(r.offered);
  line += ",\"result\":" + json_text(r.result);
  line += ",\"blocks\":" + (r.blocks < 0 ? std::string("null") : std::to_string(r.blocks));
  line += ",\"seconds\":" + std::string(seconds);
  line += ",\"exit_code\":" + std::to_string(r.exit_code);
  line += ",\"reason\":" + json_text(r.reason);
  return line + "}\r\n";
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

}  // namespace kx
