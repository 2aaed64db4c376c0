#include "app/command_line.hpp"

#include <string_view>

#include "app/event_channel.hpp"
#include "app/port_list.hpp"
#include "runtime/tdata.hpp"

namespace kx {

namespace {

// "/name=value" or "/name": true when the argument is that switch; `value` gets what
// follows "=" and `has_value` whether there was one.
bool is_switch(std::string_view arg, std::string_view name, std::string& value, bool& has_value) {
  if (arg.size() < name.size() || compare_text_nocase(arg.substr(0, name.size()), name) != 0)
    return false;
  const std::string_view rest = arg.substr(name.size());
  if (rest.empty()) {
    value.clear();
    has_value = false;
    return true;
  }
  if (rest.front() != '=') return false;
  value = std::string(rest.substr(1));
  has_value = true;
  return true;
}

bool is_help(std::string_view arg) {
  return arg == "/?" || compare_text_nocase(arg, "/help") == 0;
}

// "K,N": window place K of N, 1 <= K <= N <= kMaxLinePorts.
bool parse_place(const std::string& value, int& place, int& places) {
  const std::size_t comma = value.find(',');
  if (comma == std::string::npos || comma == 0 || comma + 1 >= value.size() || value.size() > 5)
    return false;
  int k = 0, n = 0;
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (i == comma) continue;
    if (value[i] < '0' || value[i] > '9') return false;
    int& v = i < comma ? k : n;
    v = v * 10 + (value[i] - '0');
  }
  if (k < 1 || k > n || n > static_cast<int>(kMaxLinePorts)) return false;
  place = k;
  places = n;
  return true;
}

}  // namespace

bool is_port_name(const std::string& name) {
  if (name.size() < 4 || name.size() > 6) return false;
  if (compare_text_nocase(std::string_view(name).substr(0, 3), "COM") != 0) return false;
  if (name[3] == '0') return false;
  int n = 0;
  for (std::size_t i = 3; i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9') return false;
    n = n * 10 + (name[i] - '0');
  }
  return n >= 1 && n <= 255;
}

CommandLine parse_command_line(int argc, char** argv) {
  CommandLine line;
  bool auto_given = false;
  for (int i = 1; i < argc; ++i) {
    std::string value;
    bool has_value = false;
    if (is_switch(argv[i], "/auto", value, has_value)) auto_given = true;
  }
  // The information box and the command line's use wait for a person: never under /auto, where
  // they make the line Bad below.
  if (!auto_given && argc > 1 && std::string_view(argv[1]) == "/qv") {
    line.mode = CommandLine::Mode::Info;
    return line;
  }
  for (int i = 1; i < argc && !auto_given; ++i) {
    if (is_help(argv[i])) {
      line.mode = CommandLine::Mode::Help;
      return line;
    }
  }
  for (int i = 1; i < argc && !auto_given; ++i) {
    if (compare_text_nocase(argv[i], "/list") != 0) continue;
    line.mode = CommandLine::Mode::List;
    for (int j = 1; j < argc; ++j)
      line.json = line.json || compare_text_nocase(argv[j], "/json") == 0;
    return line;
  }
  bool auto_seen = false, log_seen = false, summary_seen = false, place_seen = false,
       events_seen = false;
  std::string problem;
  auto complain = [&](std::string what) {
    if (problem.empty()) problem = std::move(what);
  };
  // "/log=FILE", "/summary=FILE": once, with a name; the first name given stays.
  auto take_file = [&](const std::string& name, bool& seen, bool has_value,
                       const std::string& value, std::string& path) {
    if (seen) complain(name + " is given more than once");
    seen = true;
    if (!has_value || value.empty())
      complain(name + " needs a file name: " + name + "=FILE");
    else if (path.empty())
      path = value;
  };
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg(argv[i]);
    std::string value;
    bool has_value = false;
    if (is_switch(arg, "/auto", value, has_value)) {
      if (auto_seen) complain("/auto is given more than once");
      auto_seen = true;
      std::vector<std::string> ports;
      std::string why;
      if (!has_value || value.empty())
        complain("/auto needs a port name: /auto=COMn");
      else if (!parse_port_list(value, ports, why))
        complain(why);
      else if (line.ports.empty())
        line.ports = ports;
      if (line.ports.size() == 1 && line.port.empty()) line.port = line.ports.front();
    } else if (is_switch(arg, "/log", value, has_value)) {
      take_file("/log", log_seen, has_value, value, line.log_path);
    } else if (is_switch(arg, "/summary", value, has_value)) {
      take_file("/summary", summary_seen, has_value, value, line.summary_path);
    } else if (is_switch(arg, "/place", value, has_value)) {
      if (place_seen) complain("/place is given more than once");
      place_seen = true;
      if (!has_value || !parse_place(value, line.place, line.places))
        complain("/place needs a window place: /place=K,N");
    } else if (arg == "/qv" || is_help(arg)) {
      complain(std::string(arg) + " shows a box that waits for a person: not with /auto");
    } else if (is_switch(arg, "/events", value, has_value)) {
      if (events_seen) complain("/events is given more than once");
      events_seen = true;
      unsigned long long channel = 0;
      if (!has_value || !parse_channel_name(value, ~0ULL, channel))
        complain("/events needs a channel: /events=N");
      else if (line.events.empty())
        line.events = value;
    } else {
      complain("unknown argument: " + std::string(arg));
    }
  }
  if (line.place != 0 && line.ports.size() > 1) complain("/place goes with one port only");
  if (!line.events.empty() && line.ports.size() > 1) complain("/events goes with one port only");
  if (auto_seen) {
    line.mode = problem.empty() ? CommandLine::Mode::Auto : CommandLine::Mode::Bad;
    line.problem = problem;
  }
  return line;
}

}  // namespace kx
