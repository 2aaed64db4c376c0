#include "app/station_options.hpp"

#include <getopt.h>

#include <span>
#include <string_view>

#include "app/entry.hpp"
#include "app/port_list.hpp"
#include "app/port_selector.hpp"
#include "app/version.hpp"

namespace kx {

namespace {

std::string take_port(StationOptions& o, const std::string& value) {
  if (value.empty()) return "--port needs a device path: --port /dev/ttyUSB0";
  if (is_adapter_selector(value)) {
    PortSelector selector;
    std::string problem;
    if (!parse_port_selector(value, selector, problem)) return "--port: " + problem;
  }
  if (o.ports.size() == kMaxLinePorts)
    return "more than " + std::to_string(kMaxLinePorts) + " ports: " + value;
  o.ports.push_back(value);
  return {};
}

std::string take_file(std::string& path, const char* option, const std::string& value) {
  if (value.empty()) return std::string(option) + " needs a file name: " + option + " FILE";
  path = value;
  return {};
}

const StationOption kOptions[] = {
    {"port", 0, "PATH", true,
     "a device to update: its path (/dev/ttyUSB0) or a link\n"
     "to it (/dev/serial/by-id/..., /dev/serial/by-path/...),\n"
     "or its adapter when exactly one port matches:\n"
     "serial=A12345, location=1-1.2 (its hub socket;\n"
     "location=1-1.2:01 one interface), usb=0403:6001;\n"
     "1 to 16 ports, every device at once, each by a process\n"
     "of its own",
     take_port},
    {"list", 0, nullptr, false,
     "list the serial ports with their adapters (USB IDs,\n"
     "serial number, location, interface, /dev/serial links)\n"
     "and end; with --json as JSON lines",
     [](StationOptions& o, const std::string&) {
       if (o.mode == StationOptions::Mode::Run) o.mode = StationOptions::Mode::List;
       return std::string();
     }},
    {"log", 0, "FILE", false,
     "append one line per step to FILE, a file on disk; with\n"
     "several ports one log per port beside it\n"
     "(FILE-ttyUSB0.log)",
     [](StationOptions& o, const std::string& v) { return take_file(o.log_path, "--log", v); }},
    {"summary", 0, "FILE", false, "append one JSON line per device to FILE as its run\nends",
     [](StationOptions& o, const std::string& v) {
       return take_file(o.summary_path, "--summary", v);
     }},
    {"json", 0, nullptr, false,
     "JSON lines on standard output, one per event (start,\n"
     "identified, progress, result), each with its port; the\n"
     "human text goes to standard error",
     [](StationOptions& o, const std::string&) {
       o.json = true;
       return std::string();
     }},
    {"events", 0, "N", false, nullptr,
     [](StationOptions& o, const std::string& v) {
       o.events = v;
       return std::string();
     }},
    {"help", 'h', nullptr, false, "show this text and end",
     [](StationOptions& o, const std::string&) {
       o.mode = StationOptions::Mode::Help;
       return std::string();
     }},
    {"version", 'V', nullptr, false, "show the version and the firmware this program\ncarries",
     [](StationOptions& o, const std::string&) {
       if (o.mode != StationOptions::Mode::Help) o.mode = StationOptions::Mode::Version;
       return std::string();
     }},
};

constexpr int kLongBase = 256;  // getopt's code of row i without a short name: kLongBase + i

std::string dashed(const StationOption& row) {
  return std::string("--") + row.name;
}

}  // namespace

std::span<const StationOption> station_option_table() {
  return kOptions;
}

StationOptions parse_station_options(int argc, char** argv) {
  const std::span<const StationOption> table = station_option_table();
  std::vector<option> longs;
  std::string shorts = ":";  // a missing value is told apart from an unknown option
  for (std::size_t i = 0; i < table.size(); ++i) {
    const StationOption& row = table[i];
    const int code = row.short_name != 0 ? row.short_name : kLongBase + static_cast<int>(i);
    longs.push_back({row.name, row.value ? required_argument : no_argument, nullptr, code});
    if (row.short_name != 0) {
      shorts += row.short_name;
      if (row.value) shorts += ':';
    }
  }
  longs.push_back({nullptr, 0, nullptr, 0});
  const auto row_of = [&](int code) -> const StationOption* {
    for (std::size_t i = 0; i < table.size(); ++i)
      if (code ==
          (table[i].short_name != 0 ? table[i].short_name : kLongBase + static_cast<int>(i)))
        return &table[i];
    return nullptr;
  };

  StationOptions o;
  std::string problem;
  auto complain = [&](std::string what) {
    if (problem.empty()) problem = std::move(what);
  };
  std::vector<int> seen(table.size(), 0);
  opterr = 0;  // the messages are ours
  optind = 0;  // a whole new scan (GNU)
  for (;;) {
    const int code = getopt_long(argc, argv, shorts.c_str(), longs.data(), nullptr);
    if (code == -1) break;
    const std::string arg = optind > 0 && optind <= argc ? argv[optind - 1] : "";
    if (code == '?' || code == ':') {
      const StationOption* row = optopt != 0 ? row_of(optopt) : nullptr;
      if (row == nullptr) {
        const std::string shown = optopt != 0 && optopt < kLongBase
                                      ? std::string("-") + static_cast<char>(optopt)
                                      : arg.substr(0, arg.find('='));
        complain("unknown option: " + shown);
      } else if (code == ':') {
        complain(dashed(*row) + " needs a value: " + dashed(*row) + " " + row->value);
      } else {
        complain(dashed(*row) + " takes no value: " + arg);
      }
      continue;
    }
    const StationOption* row = row_of(code);
    if (row == nullptr) continue;
    int& count = seen[static_cast<std::size_t>(row - table.data())];
    if (++count > 1 && !row->repeatable) {
      complain(dashed(*row) + " is given more than once");
      continue;
    }
    if (std::string why = row->take(o, optarg ? std::string(optarg) : std::string()); !why.empty())
      complain(std::move(why));
  }
  for (int i = optind; i < argc; ++i) complain(std::string("unexpected argument: ") + argv[i]);
  optind = 0;
  if (problem.empty() && o.mode == StationOptions::Mode::Run && o.ports.empty())
    problem = "no port given: kxflash --port /dev/ttyUSB0";
  if (!problem.empty()) {
    o.mode = StationOptions::Mode::Bad;
    o.problem = problem;
  }
  return o;
}

std::string station_help() {
  std::string text =
      "Usage: kxflash --port PATH [--port PATH]... [OPTION]...\n"
      "Update the firmware of MAGNETOFLUX devices on serial ports with the image this\n"
      "program carries (firmware 9.1, VKD7/NKD7).\n"
      "\n"
      "Options:\n";
  constexpr std::size_t kColumn = 24;
  for (const StationOption& row : station_option_table()) {
    if (row.help == nullptr) continue;
    std::string head = row.short_name != 0 ? std::string("  -") + row.short_name + ", " : "      ";
    head += dashed(row);
    if (row.value) head += std::string("=") + row.value;
    head += head.size() + 2 <= kColumn ? std::string(kColumn - head.size(), ' ')
                                       : "\n" + std::string(kColumn, ' ');
    for (const char c : std::string_view(row.help)) {
      head += c;
      if (c == '\n') head += std::string(kColumn, ' ');
    }
    text += head + "\n";
  }
  text +=
      "\n"
      "On a terminal every port has one line, redrawn in place (the port, a bar, the\n"
      "percent, the blocks, the time taken and the time left), and then its result.\n"
      "Otherwise one line per step, as in the log. Ctrl-C (SIGINT) or SIGTERM closes\n"
      "every port at once: nothing more is sent to any device, and each unfinished\n"
      "device's summary line says \"interrupted\".\n"
      "\n"
      "A port is this program's alone while it runs: a port that another program holds\n"
      "is refused (\"port busy\"). Opening a port needs membership in the group that owns\n"
      "it (dialout on Debian).\n"
      "\n"
      "Exit status:\n"
      "  0    every device was updated\n"
      "  1    a transfer failed\n"
      "  2    no device on some port: none answered, or the port cannot be opened\n"
      "       or is busy\n"
      "  3    a bad command line: nothing was opened\n"
      "  4    every device was updated, but a summary line was lost (the log says why)\n"
      "  130  interrupted by SIGINT or SIGTERM\n";
  return text;
}

std::string station_version() {
  return std::string("kxflash ") + KX_VERSION + "\nfirmware 9.1 (VKD7/NKD7), " + carried_image() +
         "\n";
}

}  // namespace kx
