// The Linux station's command line and what it writes for the operator: the option table, the
// live terminal lines and the JSON event lines.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "app/log_file.hpp"
#include "app/run_events.hpp"
#include "app/station_options.hpp"
#include "app/station_ports.hpp"
#include "app/station_view.hpp"

namespace kx {
namespace {

using namespace std::chrono_literals;
using Mode = StationOptions::Mode;

StationOptions parse(std::vector<std::string> args) {
  args.insert(args.begin(), "kxflash");
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  return parse_station_options(static_cast<int>(args.size()), argv.data());
}

std::vector<std::string> many_ports(int n) {
  std::vector<std::string> args;
  for (int i = 0; i < n; ++i)
    args.insert(args.end(), {"--port", "/dev/ttyUSB" + std::to_string(i)});
  return args;
}

struct OptionCase {
  std::vector<std::string> args;
  Mode mode;
  std::string problem = "";  // the start of the problem's line
  std::vector<std::string> ports = {};
  std::string log = "", summary = "";
  bool json = false;
};

TEST(StationOptions, FormsAndWhatTheyMean) {
  const std::vector<OptionCase> cases = {
      {{"--port", "/dev/ttyUSB0"}, Mode::Run, "", {"/dev/ttyUSB0"}},
      {{"--port=/dev/a", "--port", "/dev/b", "--json", "--log=run.log", "--summary", "s.json"},
       Mode::Run,
       "",
       {"/dev/a", "/dev/b"},
       "run.log",
       "s.json",
       true},
      {{"--json", "--port", "/dev/a"}, Mode::Run, "", {"/dev/a"}, "", "", true},
      {{"--po", "/dev/a"}, Mode::Run, "", {"/dev/a"}},  // a GNU abbreviation
      {many_ports(16), Mode::Run, "", {}},
      {{"--help"}, Mode::Help},
      {{"-h", "--port", "/dev/a"}, Mode::Help},
      {{"--version"}, Mode::Version},
      {{"-V", "--help"}, Mode::Help},
      {{}, Mode::Bad, "no port given"},
      {{"--json"}, Mode::Bad, "no port given"},
      {{"--bogus", "--port", "/dev/a"}, Mode::Bad, "unknown option: --bogus"},
      {{"--bogus=1", "--port", "/dev/a"}, Mode::Bad, "unknown option: --bogus"},
      {{"-x", "--port", "/dev/a"}, Mode::Bad, "unknown option: -x"},
      {{"--help", "--bogus"}, Mode::Bad, "unknown option: --bogus"},
      {{"--port"}, Mode::Bad, "--port needs a value: --port PATH"},
      {{"--port", ""}, Mode::Bad, "--port needs a device path"},
      {{"--port", "/dev/a", "--log"}, Mode::Bad, "--log needs a value"},
      {{"--port", "/dev/a", "--log="}, Mode::Bad, "--log needs a file name"},
      {{"--port", "/dev/a", "--json=yes"}, Mode::Bad, "--json takes no value"},
      {{"--port", "/dev/a", "--log", "a", "--log", "b"},
       Mode::Bad,
       "--log is given more than once"},
      {{"--port", "/dev/a", "--json", "--json"}, Mode::Bad, "--json is given more than once"},
      {many_ports(17), Mode::Bad, "more than 16 ports"},
      {{"--port", "/dev/a", "extra"}, Mode::Bad, "unexpected argument: extra"},
      {{"/dev/ttyUSB0"}, Mode::Bad, "unexpected argument: /dev/ttyUSB0"},
      {{"/auto=COM5"}, Mode::Bad, "unexpected argument: /auto=COM5"},
      {{"--port", "/dev/a", "--", "--json"}, Mode::Bad, "unexpected argument: --json"},
  };
  for (const OptionCase& c : cases) {
    std::string shown;
    for (const std::string& a : c.args) shown += a + " ";
    SCOPED_TRACE(shown);
    const StationOptions o = parse(c.args);
    EXPECT_EQ(o.mode, c.mode) << o.problem;
    EXPECT_EQ(o.problem.rfind(c.problem, 0), 0u) << o.problem;
    EXPECT_EQ(o.problem.empty(), c.problem.empty());
    if (!c.ports.empty()) {
      EXPECT_EQ(o.ports, c.ports);
    }
    if (c.mode == Mode::Run) {
      EXPECT_EQ(o.log_path, c.log);
      EXPECT_EQ(o.summary_path, c.summary);
      EXPECT_EQ(o.json, c.json);
    }
  }
  EXPECT_EQ(parse(many_ports(16)).ports.size(), 16u);
}

// Every option of the table is in --help with its value, except the internal one.
TEST(StationOptions, HelpListsTheTable) {
  const std::string help = station_help();
  for (const StationOption& row : station_option_table()) {
    const std::string shown = std::string("--") + row.name + (row.value ? "=" : "");
    EXPECT_EQ(help.find(shown) != std::string::npos, row.help != nullptr) << row.name;
  }
  for (const char* code : {"  0 ", "  1 ", "  2 ", "  3 ", "  4 ", "  130 "})
    EXPECT_NE(help.find(code), std::string::npos) << code;
  // Every line fits a terminal of 80 columns.
  std::size_t from = 0;
  for (std::size_t end; (end = help.find('\n', from)) != std::string::npos; from = end + 1)
    EXPECT_LE(end - from, 80u) << help.substr(from, end - from);
}

TEST(StationPorts, NamesLinksAndRefusals) {
  EXPECT_EQ(device_tag("/dev/ttyUSB0"), "ttyUSB0");
  EXPECT_EQ(device_tag("/dev/pts/3"), "pts-3");
  EXPECT_EQ(both_names({"/dev/ttyUSB0", "/dev/ttyUSB0"}), "/dev/ttyUSB0");
  EXPECT_EQ(both_names({"/dev/serial/by-id/x", "/dev/ttyUSB0"}),
            "/dev/serial/by-id/x (/dev/ttyUSB0)");

  // A link and the file it leads to are one device; two files are two.
  const std::string dir = ::testing::TempDir() + "kx_station_" + std::to_string(::getpid());
  ASSERT_EQ(std::system(("mkdir -p " + dir + " && touch " + dir + "/a " + dir + "/b && ln -sf " +
                         dir + "/a " + dir + "/link")
                            .c_str()),
            0);
  std::vector<StationPort> ports;
  EXPECT_EQ(resolve_ports({dir + "/link", dir + "/b"}, ports), "");
  ASSERT_EQ(ports.size(), 2u);
  EXPECT_EQ(ports[0].name, dir + "/link");
  EXPECT_EQ(ports[0].device.substr(ports[0].device.size() - 2), "/a");
  EXPECT_NE(resolve_ports({dir + "/a", dir + "/b", dir + "/link"}, ports).find("given twice"),
            std::string::npos);
  // A name that leads nowhere stays as it is: its open says why.
  EXPECT_EQ(resolve_ports({dir + "/none"}, ports), "");
  EXPECT_EQ(ports[0].device, dir + "/none");
  EXPECT_EQ(port_refusal(ports[0]).rfind("no such device: ", 0), 0u);
  EXPECT_EQ(port_refusal({dir + "/a", dir + "/a"}), "not a serial port: " + dir + "/a");
  std::system(("rm -rf " + dir).c_str());

  EXPECT_NE(refusal_hint("permission denied: /dev/ttyUSB0 ...").find("dialout"), std::string::npos);
  EXPECT_NE(refusal_hint("port busy: /dev/ttyUSB0 is in use by another program"), "");
  EXPECT_EQ(refusal_hint("no such device: /dev/ttyUSB9"), "");
}

// What the writers are given to write.
class Captured final : public LogFile {
 public:
  bool append(std::string_view bytes) override {
    text.append(bytes);
    return true;
  }
  std::string take() {
    std::string t;
    t.swap(text);
    return t;
  }
  std::string text;
};

RunEvent event(RunEvent::Kind kind, const std::string& port) {
  RunEvent e;
  e.kind = kind;
  e.port = port;
  e.time = "2026-12-08T10:00:00.000+00:00";
  return e;
}

RunEvent progress(const std::string& port, int blocks) {
  RunEvent e = event(RunEvent::Kind::Progress, port);
  e.blocks = blocks;
  e.total = 508;
  e.percent = blocks * 100 / 508;
  return e;
}

RunEvent result(const std::string& port, const std::string& what, int blocks, double seconds,
                const std::string& reason) {
  RunRecord r;
  r.port = port;
  r.result = what;
  r.blocks = blocks;
  r.seconds = seconds;
  r.exit_code = what == "updated" ? 0 : 1;
  r.reason = reason;
  return result_event(r);
}

TEST(StationView, LiveLinesRedrawnInPlace) {
  Captured out;
  auto clock = std::chrono::steady_clock::now();
  TerminalView view(out, {"/dev/ttyUSB0", "/dev/ttyACM10"}, 80, [&] { return clock; });
  view.on_event(event(RunEvent::Kind::Start, "/dev/ttyUSB0"));
  // The first drawing: each line cleared to its end, no move up.
  EXPECT_EQ(out.take(),
            "\r/dev/ttyUSB0   waiting for the device\033[K\n"
            "\r/dev/ttyACM10  waiting for the device\033[K\n");
  RunEvent found = event(RunEvent::Kind::Identified, "/dev/ttyUSB0");
  found.model = "VKD7";
  found.firmware = "9.0";
  view.on_event(found);
  // Every later drawing goes back up over both lines first.
  EXPECT_EQ(
      out.take().rfind("\r\033[2A\r/dev/ttyUSB0   [--------------------]   0 %  0/508  0:00", 0),
      0u);
  clock += 10s;
  view.on_event(progress("/dev/ttyUSB0", 254));
  EXPECT_NE(out.take().find("[##########----------]  50 %  254/508  0:10  left 0:10  VKD7 9.0"),
            std::string::npos);
  // Progress soon after a drawing waits for the next; finish draws what is left.
  clock += 50ms;
  view.on_event(progress("/dev/ttyUSB0", 300));
  EXPECT_EQ(out.take(), "");
  view.finish();
  EXPECT_NE(out.take().find("300/508"), std::string::npos);
  view.finish();
  EXPECT_EQ(out.take(), "");  // nothing changed, nothing drawn
  view.on_event(progress("/dev/nowhere", 10));
  EXPECT_EQ(out.take(), "");  // not a port of this run
  // The result line: the blocks, the time and the reason, printable.
  view.on_event(result("/dev/ttyUSB0", "transfer failed", 20, 1.6,
                       "after block 20: received C8 05\r\n, expected 92 A0"));
  EXPECT_EQ(view.line_of(0),
            "/dev/ttyUSB0   transfer failed, 20 of 508 blocks, 1.6 s: after block 20: received C8 "
            "05\\r\\n, expected 92 A0");
  EXPECT_EQ(view.line_of(1), "/dev/ttyACM10  waiting for the device");
}

TEST(StationView, LinesAreCutToTheTerminal) {
  Captured out;
  TerminalView view(out, {"/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0"}, 40);
  view.on_event(result("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0",
                       "no device", 0, 3.0, "not identified within 3 s"));
  const std::string text = out.take();
  const std::size_t start = text.rfind('\r') + 1;
  EXPECT_EQ(text.substr(start), text.substr(start, 39) + "\033[K\n");
}

TEST(StationView, JsonLinesOncePerPercent) {
  Captured out;
  JsonLines json(out);
  json.on_event(event(RunEvent::Kind::Start, "/dev/a"));
  for (int b = 1; b <= 508; ++b) json.on_event(progress(b % 2 ? "/dev/a" : "/dev/b", b));
  json.on_event(result("/dev/a", "updated", 508, 35.2, ""));
  std::vector<RunEvent> events;
  std::size_t from = 0;
  for (std::size_t end; (end = out.text.find('\n', from)) != std::string::npos; from = end + 1) {
    RunEvent e;
    ASSERT_TRUE(parse_event_line(out.text.substr(from, end - from + 1), e))
        << out.text.substr(from, end - from);
    events.push_back(e);
  }
  ASSERT_GE(events.size(), 3u);
  EXPECT_EQ(events.front().kind, RunEvent::Kind::Start);
  EXPECT_EQ(events.back().kind, RunEvent::Kind::Result);
  EXPECT_EQ(events.back().record.seconds, 35.2);
  // Per port: each percent once, none skipped by more than one, the last block always.
  for (const std::string port : {"/dev/a", "/dev/b"}) {
    std::vector<int> percents;
    int last_blocks = 0;
    for (const RunEvent& e : events)
      if (e.kind == RunEvent::Kind::Progress && e.port == port) {
        percents.push_back(e.percent);
        last_blocks = e.blocks;
      }
    ASSERT_FALSE(percents.empty()) << port;
    for (std::size_t i = 1; i < percents.size(); ++i) EXPECT_EQ(percents[i], percents[i - 1] + 1);
    if (port == "/dev/b") {
      EXPECT_EQ(last_blocks, 508);
    }
  }
}

}  // namespace
}  // namespace kx
