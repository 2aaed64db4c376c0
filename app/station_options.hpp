// The Linux station's command line, by the platform's conventions (GNU long options):
//   kxflash --port /dev/ttyUSB0 [--port PATH]... [--log FILE] [--summary FILE] [--json]
//   kxflash --list [--json] | --help | --version
// Every option is one row of a table: its name, its value, its words in --help and what it
// sets. A new option is a new row.
#pragma once

#include <span>
#include <string>
#include <vector>

namespace kx {

struct StationOptions {
  enum class Mode {
    Run,      // update the devices on `ports`
    Help,     // --help: the use, on standard output
    Version,  // --version
    List,     // --list: the serial ports with their adapters (--json: JSON lines)
    Bad,      // exit code 3, `problem` says why; nothing is opened
  };
  Mode mode = Mode::Run;
  std::vector<std::string> ports;  // as given (device paths, links, selectors), 1 to 16
  std::string log_path;            // empty: no log
  std::string summary_path;        // empty: no summary
  bool json = false;               // event lines on standard output, human text on stderr
  // One device of a run of several (not in --help): the channel the run's first process hears
  // this device's events on (app/event_channel.hpp); empty: a run of its own.
  std::string events;
  std::string problem;  // Bad: one line saying which option and why
};

struct StationOption {
  const char* name;   // the long name, without "--"
  char short_name;    // 0: none
  const char* value;  // the value's name in --help ("PATH"); nullptr: the option takes none
  bool repeatable;    // may be given more than once
  const char* help;   // its words in --help; nullptr: internal, not shown
  // Takes the value (empty for an option without one) into `options`; "" or what is wrong
  // with the value.
  std::string (*take)(StationOptions& options, const std::string& value);
};

// Every option the station knows, in the order --help lists them.
std::span<const StationOption> station_option_table();

// Parses the arguments (argv[0] is the program). --help or --version anywhere wins over
// everything else but an unknown option; otherwise a bad argument makes the line Bad with the
// first problem found.
StationOptions parse_station_options(int argc, char** argv);

// What --help prints: the use, the options from the table, the output and the exit codes.
std::string station_help();

// What --version prints: the tool's version and the firmware it carries.
std::string station_version();

}  // namespace kx
