// Unattended and logged runs: the command line, exit codes and the update log, through the
// program entry against simulated devices.
#include <sys/stat.h>

#include <future>
#include <sstream>
#include <thread>

#include "app/disk_file.hpp"
#include "app/escape.hpp"
#include "app/event_channel.hpp"
#include "app/log_file.hpp"
#include "app/port_list.hpp"
#include "app/port_selector.hpp"
#include "app/queued_writer.hpp"
#include "app/record_paths.hpp"
#include "app/run_events.hpp"
#include "app/run_record.hpp"
#include "app/station_view.hpp"
#include "app/summary.hpp"
#include "app/unattended.hpp"
#include "app/unattended_wiring.hpp"
#include "app/usage.hpp"
#include "elements/stream/answer_collector.hpp"
#include "runtime/element_thread.hpp"
#include "runtime/image_layout.hpp"
#include "runtime/threads.hpp"
#include "schemes/identification_scheme.hpp"
#include "tests/common/hand_timer.hpp"
#include "tests/tool/tool_fixture.hpp"

namespace kx::tool_testing {
namespace {

// "n of 508 blocks": how the log counts blocks against the whole image.
std::string of_all(std::size_t n) {
  return std::to_string(n) + " of " + std::to_string(image_layout::kBlockCount) + " blocks";
}

struct LineCase {
  std::vector<std::string> args;
  CommandLine::Mode mode;
  std::string port;
  std::string log;
  std::vector<std::string> ports = {};  // none given: the one port, if any
  std::string summary = "";
  int place = 0, places = 0;
  std::string events = "";
  bool json = false;
};

std::string com_list(int from, int to) {
  std::string list;
  for (int n = from; n <= to; ++n) list += (list.empty() ? "COM" : ",COM") + std::to_string(n);
  return list;
}

TEST(CommandLine, FormsAndWhatTheyMean) {
  using M = CommandLine::Mode;
  const std::vector<LineCase> cases = {
      {{}, M::Normal, "", ""},
      {{"/qv"}, M::Info, "", ""},
      {{"/qv", "/auto=COM5"}, M::Bad, "COM5", ""},  // nothing waits for a person under /auto
      {{"/QV"}, M::Normal, "", ""},
      {{"/foo", "bar"}, M::Normal, "", ""},  // without /auto nothing else is looked at
      {{"/log=run.log"}, M::Normal, "", "run.log"},
      {{"/log="}, M::Normal, "", ""},
      {{"/autox=COM5"}, M::Normal, "", ""},
      {{"/auto=COM5"}, M::Auto, "COM5", ""},
      {{"/AUTO=com12"}, M::Auto, "com12", ""},
      {{"/auto=COM255", "/log=C:\\logs\\a b.log"}, M::Auto, "COM255", "C:\\logs\\a b.log"},
      {{"/Log=x", "/auto=COM1"}, M::Auto, "COM1", "x"},
      {{"/auto"}, M::Bad, "", ""},
      {{"/auto="}, M::Bad, "", ""},
      {{"/auto=COM"}, M::Bad, "", ""},
      {{"/auto=COM0"}, M::Bad, "", ""},
      {{"/auto=COM256"}, M::Bad, "", ""},
      {{"/auto=COM05"}, M::Bad, "", ""},
      {{"/auto=COM1x"}, M::Bad, "", ""},
      {{"/auto=COM1234"}, M::Bad, "", ""},
      {{"/auto=LPT1"}, M::Bad, "", ""},
      {{"/auto=COM5", "/qv"}, M::Bad, "COM5", ""},
      {{"/auto=COM5", "/auto=COM6"}, M::Bad, "COM5", ""},
      {{"/auto=COM5", "/log="}, M::Bad, "COM5", ""},
      {{"/auto=COM5", "/log=a", "/log=b"}, M::Bad, "COM5", "a"},
      {{"/auto=COM5", "extra"}, M::Bad, "COM5", ""},
      {{"/?"}, M::Help, "", ""},
      {{"/auto=COM5", "/HELP"}, M::Bad, "COM5", ""},
      {{"/?", "/auto=COM5"}, M::Bad, "COM5", ""},
      {{"/log=x", "/help=1"}, M::Normal, "", "x"},
      // A list of ports: one process each.
      {{"/auto=COM3,COM5,com7"}, M::Auto, "", "", {"COM3", "COM5", "com7"}},
      {{"/auto=" + com_list(1, 16)}, M::Auto, "", "", {}},
      {{"/auto=" + com_list(1, 17)}, M::Bad, "", ""},
      {{"/auto=COM5,COM5"}, M::Bad, "", ""},
      {{"/auto=COM5,com5"}, M::Bad, "", ""},
      {{"/auto=COM5,"}, M::Bad, "", ""},
      {{"/auto=,COM5"}, M::Bad, "", ""},
      {{"/auto=COM5,,COM6"}, M::Bad, "", ""},
      {{"/auto=COM5;COM6"}, M::Bad, "", ""},
      {{"/auto=COM5,COM256"}, M::Bad, "", ""},
      {{"/auto=COM5", "/auto=COM6,COM7"}, M::Bad, "COM5", ""},
      {{"/auto=COM5,COM6", "/Summary=s.json", "/log=u.log"},
       M::Auto,
       "",
       "u.log",
       {"COM5", "COM6"},
       "s.json"},
      {{"/summary=s.json"}, M::Normal, "", "", {}, "s.json"},  // ignored without /auto
      {{"/auto=COM5", "/summary="}, M::Bad, "COM5", ""},
      {{"/auto=COM5", "/summary=a", "/summary=b"}, M::Bad, "COM5", "", {}, "a"},
      // The window's place, given by the run of several to each of its processes.
      {{"/auto=COM5", "/place=2,3"}, M::Auto, "COM5", "", {}, "", 2, 3},
      {{"/auto=COM5", "/place=16,16"}, M::Auto, "COM5", "", {}, "", 16, 16},
      {{"/auto=COM5,COM6", "/place=1,2"}, M::Bad, "", "", {"COM5", "COM6"}, "", 1, 2},
      {{"/auto=COM5", "/place=0,3"}, M::Bad, "COM5", ""},
      {{"/auto=COM5", "/place=4,3"}, M::Bad, "COM5", ""},
      {{"/auto=COM5", "/place=1,17"}, M::Bad, "COM5", ""},
      {{"/auto=COM5", "/place=1"}, M::Bad, "COM5", ""},
      {{"/auto=COM5", "/place"}, M::Bad, "COM5", ""},
      // The channel a device's process hands its events to.
      {{"/auto=COM5", "/events=7"}, M::Auto, "COM5", "", {}, "", 0, 0, "7"},
      {{"/auto=COM5", "/events=x7"}, M::Bad, "COM5", ""},
      {{"/auto=COM5", "/events=-7"}, M::Bad, "COM5", ""},
      {{"/auto=COM5", "/events=99999999999999999999"}, M::Bad, "COM5", ""},
      {{"/auto=COM5", "/events="}, M::Bad, "COM5", ""},
      {{"/auto=COM5", "/events=7", "/events=8"}, M::Bad, "COM5", "", {}, "", 0, 0, "7"},
      {{"/auto=COM5,COM6", "/events=7"}, M::Bad, "", "", {"COM5", "COM6"}, "", 0, 0, "7"},
      // Entries that name the adapter; "/list" lists the ports only.
      {{"/auto=serial=A12345"}, M::Auto, "serial=A12345", ""},
      {{"/auto=usb=0403:6001,Location=1-1.2:1,COM5"},
       M::Auto,
       "",
       "",
       {"usb=0403:6001", "Location=1-1.2:1", "COM5"}},
      {{"/auto=serial=A1,SERIAL=a1"}, M::Bad, "", ""},
      {{"/auto=serial="}, M::Bad, "", ""},
      {{"/auto=usb=0403"}, M::Bad, "", ""},
      {{"/auto=usb=0403:60011"}, M::Bad, "", ""},
      {{"/auto=usb=0g03:6001"}, M::Bad, "", ""},
      {{"/auto=location=1-"}, M::Bad, "", ""},
      {{"/auto=location=1.2"}, M::Bad, "", ""},
      {{"/auto=location=1-1..2"}, M::Bad, "", ""},
      {{"/auto=location=1-1.2:"}, M::Bad, "", ""},
      {{"/auto=location=1-1.2:100"}, M::Bad, "", ""},
      {{"/auto=name=COM5"}, M::Bad, "", ""},
      {{"/list"}, M::List, "", ""},
      {{"/LIST", "/Json"}, M::List, "", "", {}, "", 0, 0, "", true},
      {{"/auto=COM5", "/list"}, M::Bad, "COM5", ""},
  };
  for (const LineCase& c : cases) {
    std::vector<std::string> storage = {"kxflash"};
    storage.insert(storage.end(), c.args.begin(), c.args.end());
    std::vector<char*> argv;
    for (std::string& a : storage) argv.push_back(a.data());
    const CommandLine line = parse_command_line(static_cast<int>(argv.size()), argv.data());
    const std::string what = ::testing::PrintToString(c.args);
    EXPECT_EQ(line.mode, c.mode) << what;
    EXPECT_EQ(line.port, c.port) << what;
    EXPECT_EQ(line.log_path, c.log) << what;
    EXPECT_EQ(line.problem.empty(), c.mode != M::Bad) << what;
    EXPECT_EQ(line.summary_path, c.summary) << what;
    EXPECT_EQ(line.place, c.place) << what;
    EXPECT_EQ(line.places, c.places) << what;
    EXPECT_EQ(line.events, c.events) << what;
    EXPECT_EQ(line.json, c.json) << what;
    if (!c.ports.empty())
      EXPECT_EQ(line.ports, c.ports) << what;
    else if (!c.port.empty())
      EXPECT_EQ(line.ports, std::vector<std::string>{c.port}) << what;
    else if (c.mode == M::Auto)
      EXPECT_EQ(line.ports.size(), kMaxLinePorts) << what;
    else
      EXPECT_TRUE(line.ports.empty()) << what;
  }
}

// Entries resolved against the ports of a Windows machine: COM names in any letter case, serial
// numbers as Windows writes them (capitals), two adapters of one kind, a built-in port.
TEST(PortSelector, AnEntryStandsForOnePortOrForNone) {
  std::vector<serial::PortIdentity> ports(3);
  ports[0] = {"COM5", "USB Serial Port", "0403", "6001", "A12345B", "1-1.2", "", "", ""};
  ports[1] = {"COM7", "USB Serial Port", "0403", "6001", "B777", "1-1.3", "", "", ""};
  ports[2].name = "COM1";
  struct Case {
    const char* entry;
    const char* port;     // the port it stands for; empty: none
    const char* problem;  // why not
  };
  const Case cases[] = {
      {"com5", "COM5", ""},
      {"COM9", "COM9", ""},  // not listed: the open tells
      {"serial=a12345b", "COM5", ""},
      {"location=1-1.3", "COM7", ""},
      {"usb=0403:6001", "",
       "2 ports match usb=0403:6001: COM5 (serial A12345B, location 1-1.2), COM7 (serial B777, "
       "location 1-1.3)"},
      {"location=1-1.3:00", "", "no port matches location=1-1.3:00"},
      {"usb=1a86:7523", "", "no port matches usb=1a86:7523"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.entry);
    const ChosenPort chosen = resolve_port(c.entry, ports);
    EXPECT_EQ(chosen.found, *c.port != '\0');
    EXPECT_EQ(chosen.found ? chosen.port.name : "", c.port);
    EXPECT_EQ(chosen.problem, c.problem);
  }
  std::string twice;
  resolve_ports({"COM5", "serial=A12345B"}, ports, twice);
  EXPECT_EQ(twice, "COM5 and serial=A12345B both name the port COM5");
  resolve_ports({"com7", "serial=A12345B", "usb=0403:6001"}, ports, twice);
  EXPECT_EQ(twice, "");
}

// A log (or any record the user names) is written to a disk file only: a name that Windows
// reads as a device, in any folder, with any extension and in any letter case, a device path,
// a pipe and a folder are refused.
TEST(DiskFile, OnlyAFileOnDiskIsALog) {
  const std::string dir = ::testing::TempDir() + "kxflash_disk_" + std::to_string(::getpid());
  ::mkdir(dir.c_str(), 0700);
  const std::string fifo = dir + "/fifo";
  ::mkfifo(fifo.c_str(), 0600);
  const std::string plain = dir + "/run.log";
  std::ofstream(plain) << "x";
  struct PathCase {
    std::string path;
    const char* problem;
  };
  const char* device = "names a device";
  const char* folder = "names a folder";
  const char* stream = "names a stream of a file (a colon after the drive)";
  const std::vector<PathCase> cases = {
      {"run.log", ""},
      {"COM5", device},
      {"COM5.log", device},
      {"com5.LOG", device},
      {"Com9.txt.bak", device},
      {"COM0.log", device},
      {"COM5 .log", device},
      {"COM5...", device},
      {"COM5  ", device},
      {"COM5:", device},
      {"com\xC2\xB9.log", device},  // superscript digits, as UTF-8
      {"LPT\xC2\xB2", device},
      {"lpt\xC2\xB3.txt", device},
      {"COM\xD1\x96.log", ""},  // a Cyrillic letter, no digit
      {"COM\xB3.log", ""},      // the byte that is that letter in Windows-1251
      {"COM\xC2\xB4.log", ""},
      {"LPT1", device},
      {"lpt9.txt", device},
      {"CON", device},
      {"con.txt", device},
      {"PRN.log", device},
      {"aux", device},
      {"NuL.log", device},
      {"conout$", device},
      {"CONIN$.txt", device},
      {"C:\\logs\\COM5.log", device},
      {"logs/com1.log", device},
      {"C:COM5.log", device},
      {"\\\\.\\COM5", device},
      {"//./COM5", device},
      {"\\\\.\\pipe\\kxflash", device},
      {"\\\\?\\GLOBALROOT\\Device\\Serial0", device},
      {"\\\\?\\pipe\\kxflash", device},
      {"\\\\?\\Volume{0}\\run.log", device},
      {"\\\\.", device},
      {"\\??\\C:\\logs\\run.log", device},
      {"\\??\\COM5", device},
      {"/?\?/COM5", device},
      {"\\Device\\Serial0", device},
      {"\\device\\NamedPipe\\kxflash", device},
      {"\\DosDevices\\COM5", device},
      {"\\GLOBAL??\\COM5", device},
      {"\\GlobalRoot\\Device\\Serial0", device},
      {"\\logs\\run.log", ""},
      {"\\Devices\\run.log", ""},
      {"run.log:hidden", stream},
      {"C:\\logs\\run.log:s", stream},
      {"logs:x/run.log", stream},
      {"\\\\?\\C:\\logs\\run.log:s", stream},
      {"C:run.log", ""},
      {"\\\\?\\C:\\logs\\run.log", ""},
      {"\\\\?\\UNC\\server\\share\\run.log", ""},
      {"COM10.log", ""},
      {"COMA.log", ""},
      {"CONSOLE.log", ""},
      {"nullable.log", ""},
      {"C:\\logs\\", folder},
      {"logs/", folder},
      {"..", folder},
      {"", "is empty"},
      {dir, folder},
      {fifo, "names a pipe"},
      {"/dev/null", device},
      {plain, ""},
      {dir + "/not-yet.log", ""},
  };
  for (const PathCase& c : cases) {
    EXPECT_EQ(disk_file_problem(c.path), c.problem) << c.path;
    // The file's opening refuses what the rule refuses.
    if (*c.problem != 0) {
      EXPECT_EQ(open_log_file(c.path), nullptr) << c.path;
    }
  }
  EXPECT_NE(open_log_file(plain), nullptr);
  std::remove(fifo.c_str());
  std::remove(plain.c_str());
  ::rmdir(dir.c_str());
}

// The files a run writes: each port's log is checked by the name its process will be given, and
// no two of the files may be one, by the same name or another; the summary must open.
TEST(RecordPaths, EveryFileARunWritesIsADiskFileOfItsOwn) {
  const std::string dir = ::testing::TempDir() + "kxflash_records_" + std::to_string(::getpid());
  ::mkdir(dir.c_str(), 0700);
  ::mkdir((dir + "/u-COM6.log").c_str(), 0700);  // a folder where a port's log would go
  std::ofstream(dir + "/kept.log") << "x";
  ASSERT_EQ(::symlink((dir + "/kept.log").c_str(), (dir + "/link.log").c_str()), 0);
  struct RecordCase {
    std::vector<std::string> ports;
    std::string log, summary;
    std::string problem;
    // What each port's log is named after, when not the port (the station: its device's tag).
    std::vector<std::string> entries = {};
  };
  const std::vector<RecordCase> cases = {
      {{"COM5"}, dir + "/u.log", dir + "/s.json", ""},
      {{"COM5"},
       dir + "/u.log",
       dir + "/u.log",
       "the log and the summary are the same file: " + dir + "/u.log, " + dir + "/u.log"},
      {{"COM5"},
       dir + "/u.log",
       dir + "/./u.log",
       "the log and the summary are the same file: " + dir + "/u.log, " + dir + "/./u.log"},
      {{"COM5"},
       dir + "/link.log",
       dir + "/kept.log",
       "the log and the summary are the same file: " + dir + "/link.log, " + dir + "/kept.log"},
      {{"COM5", "COM7"},
       dir + "/u.log",
       dir + "/u-COM7.log",
       "the log of COM7 and the summary are the same file: " + dir + "/u-COM7.log, " + dir +
           "/u-COM7.log"},
      {{"COM5", "COM6"},
       dir + "/u.log",
       "",
       "the log of COM6 path names a folder: " + dir + "/u-COM6.log"},
      {{"COM6"}, dir + "/u.log", "", ""},  // one port: no log of its own beside the run's
      {{"COM5", "COM7"}, dir + "/u.log", dir + "/s.json", ""},
      {{"COM5"},
       "",
       dir + "/s.json:x",
       "the summary path names a stream of a file (a colon after the drive): " + dir + "/s.json:x"},
      {{"COM5"},
       dir + "/u.log",
       dir + "/none/s.json",
       "the summary file " + dir +
           "/none/s.json: the file cannot be opened: No such file or directory (OS error 2)"},
      {{"/dev/ttyUSB0", "/dev/serial/by-id/usb-x"},
       dir + "/u.log",
       dir + "/u-ttyUSB1.log",
       "the log of /dev/serial/by-id/usb-x and the summary are the same file: " + dir +
           "/u-ttyUSB1.log, " + dir + "/u-ttyUSB1.log",
       {"ttyUSB0", "ttyUSB1"}},
      {{"/dev/ttyUSB0", "/dev/ttyUSB1"},
       dir + "/u.log",
       dir + "/u--dev-ttyUSB1.log",
       "",
       {"ttyUSB0", "ttyUSB1"}},
  };
  for (const RecordCase& c : cases) {
    CommandLine line;
    line.mode = CommandLine::Mode::Auto;
    line.ports = c.ports;
    line.log_path = c.log;
    line.summary_path = c.summary;
    std::vector<PortLogName> ports;
    for (std::size_t i = 0; i < c.ports.size(); ++i)
      ports.push_back({c.ports[i], c.entries.empty() ? c.ports[i] : c.entries[i]});
    const std::string problem = c.entries.empty() ? record_paths_problem(line)
                                                  : record_paths_problem(c.log, ports, c.summary);
    EXPECT_EQ(problem, c.problem) << c.log << " " << c.summary;
  }
  for (const char* made : {"/link.log", "/kept.log", "/s.json", "/u--dev-ttyUSB1.log"})
    std::remove((dir + made).c_str());
  ::rmdir((dir + "/u-COM6.log").c_str());
  ::rmdir(dir.c_str());
}

// Log times in zones east and west of UTC, across a day's and a year's end; texts from the
// device as readable text.
TEST(UpdateLog, TimesCarryTheirOffsetAndBytesBecomeReadable) {
  using namespace std::chrono;
  struct TimeCase {
    const char* zone;
    sys_days day;
    milliseconds time;
    const char* text;
  };
  const std::vector<TimeCase> times = {
      {"UTC0", 2026y / 12 / 7, 16h + 40min + 12s + 345ms, "2026-12-07T16:40:12.345+00:00"},
      {"XXX-3", 2026y / 12 / 31, 22h + 30min, "2027-01-01T01:30:00.000+03:00"},
      {"XXX+5:30", 2026y / 1 / 1, 2h + 7ms, "2025-12-31T20:30:00.007-05:30"},
  };
  const char* saved = std::getenv("TZ");
  const std::string previous = saved ? saved : "";
  for (const TimeCase& c : times) {
    setenv("TZ", c.zone, 1);
    tzset();
    EXPECT_EQ(iso8601_local(system_clock::time_point(c.day) + c.time), c.text) << c.zone;
  }
  if (saved)
    setenv("TZ", previous.c_str(), 1);
  else
    unsetenv("TZ");
  tzset();

  EXPECT_EQ(printable("MAGNETOFLUX VKD7 9.0\r\n"), "MAGNETOFLUX VKD7 9.0\\r\\n");
  EXPECT_EQ(printable(std::string("a\"b\\c\td\0\x7F", 9)), "a\\\"b\\\\c\\td\\x00\\x7F");
  EXPECT_EQ(printable("\xCF\xCE"), "\xCF\xCE");  // Windows-1251 text stays as it is
}

// A pipe whose writing end is full before the first line: a console nobody reads.
struct FullPipe {
  int read = -1, write = -1;
  std::size_t filled = 0;  // bytes in it already
  FullPipe() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return;
    read = fds[0];
    write = fds[1];
    ::fcntl(write, F_SETFL, O_NONBLOCK);
    const std::string filler(4096, 'x');
    for (ssize_t n = 0; (n = ::write(write, filler.data(), filler.size())) > 0;)
      filled += static_cast<std::size_t>(n);
    ::fcntl(write, F_SETFL, 0);
  }
  ~FullPipe() {
    if (read >= 0) ::close(read);
  }
  // Reads the pipe again, on a thread, until its writers close it: what came after the filler.
  std::thread drain(std::string& got) const {
    return std::thread([fd = read, skip = filled, &got] {
      std::string all;
      char buf[4096];
      for (ssize_t n = 0; (n = ::read(fd, buf, sizeof buf)) > 0;)
        all.append(buf, static_cast<std::size_t>(n));
      got = all.substr(std::min(skip, all.size()));
    });
  }
};

// A console that blocks (an operator selecting text in it, a pipe nobody reads) holds up no
// line of the log file; it loses at most console lines.
TEST(UpdateLog, ABlockedConsoleHoldsUpNoLineOfTheFile) {
  FullPipe console;
  ASSERT_GE(console.write, 0);
  const std::string file = log_path("blocked-console");
  const auto lines_within = [&file](std::size_t n) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (read_lines(file).size() < n && std::chrono::steady_clock::now() < until)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return read_lines(file).size();
  };
  std::string echoed;
  std::thread drain;
  {
    UpdateLog log(file, log_file_on(console.write, true));
    log.line("first");
    EXPECT_EQ(lines_within(1), 1u);
    log.line("second");  // the console's writer is stuck in the first line meanwhile
    log.line("third");
    EXPECT_EQ(lines_within(3), 3u);
    // The console is read again: its writer ends, and the log with it.
    drain = console.drain(echoed);
  }
  drain.join();
  const std::vector<std::string> lines = read_lines(file);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(message_of(lines[2]), "third");
}

// The run's events written into a pipe nobody reads (the update log's echo, the channel to the
// first process, the station's JSON lines on its output) hold up no event of the element
// thread; once the pipe is read again every line reaches it, the result last.
TEST(UpdateLog, APipeNobodyReadsHoldsUpNoEventOfTheRun) {
  struct LogLines final : RunEventSink {
    explicit LogLines(int fd) : log(std::string(), log_file_on(fd, true)) {}
    void on_event(const RunEvent& e) override {
      std::string text = event_line(e);
      text.pop_back();
      log.line(text);
    }
    UpdateLog log;
  };
  // As the station writes its JSON lines.
  struct QueuedJson final : RunEventSink {
    explicit QueuedJson(int fd) : out(log_file_on(fd, true)), json(out) {}
    void on_event(const RunEvent& e) override { json.on_event(e); }
    QueuedWriter out;
    JsonLines json;
  };
  struct Case {
    const char* name;
    std::function<std::unique_ptr<RunEventSink>(int fd)> sink;  // owns the fd
    std::size_t lines;  // for a start, 600 blocks and a result
  };
  const std::vector<Case> cases = {
      {"log echo", [](int fd) { return std::make_unique<LogLines>(fd); }, 602},
      {"channel",
       [](int fd) -> std::unique_ptr<RunEventSink> {
         std::string problem;
         std::unique_ptr<ChannelWriter> channel = open_channel(std::to_string(fd), problem);
         if (!channel) return nullptr;
         return std::make_unique<ChannelSink>(std::move(channel));
       },
       602},
      {"json lines", [](int fd) { return std::make_unique<QueuedJson>(fd); }, 103},  // 101 %
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FullPipe pipe;
    ASSERT_GE(pipe.write, 0);
    std::unique_ptr<RunEventSink> sink = c.sink(pipe.write);
    ASSERT_NE(sink, nullptr);
    RunRecord r;
    r.port = "/dev/ttyUSB0";
    r.exit_code = kExitTransferFailed;
    r.result = result_of(r.exit_code);
    r.reason = "the device stopped answering at block 600";
    std::promise<void> told;
    std::thread element([&] {
      RunEvent e;
      e.port = r.port;
      sink->on_event(e);
      for (int b = 1; b <= 600; ++b) {
        e.kind = RunEvent::Kind::Progress;
        e.blocks = b;
        e.total = 600;
        e.percent = b * 100 / 600;
        sink->on_event(e);
      }
      sink->on_event(result_event(r));
      told.set_value();
    });
    const bool in_time =
        told.get_future().wait_for(std::chrono::seconds(2)) == std::future_status::ready;
    EXPECT_TRUE(in_time) << "the element thread waited for the pipe's reader";
    std::string got;
    std::thread drain = pipe.drain(got);
    element.join();
    sink.reset();  // what is queued reaches the pipe, and its end is closed
    drain.join();
    std::vector<std::string> lines;
    std::istringstream in(got);
    for (std::string l; std::getline(in, l);) lines.push_back(l + "\n");
    ASSERT_EQ(lines.size(), c.lines);
    RunEvent last;
    ASSERT_TRUE(parse_event_line(lines.back().substr(lines.back().find('{')), last))
        << lines.back();
    EXPECT_EQ(last.kind, RunEvent::Kind::Result);
    EXPECT_EQ(last.record.reason, r.reason);
  }
  // The system refuses the channel's writer thread: its lines are written on the element thread
  // instead, late rather than lost.
  int fds[2];
  ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
  std::string problem;
  thread_testing::refuse_thread_starts(1);
  auto channel = std::make_unique<ChannelSink>(open_channel(std::to_string(fds[1]), problem));
  thread_testing::refuse_thread_starts(0);
  RunRecord r;
  r.reason = "refused";
  channel->on_event(result_event(r));
  channel.reset();  // closes the pipe's writing end
  std::string got;
  char buf[4096];
  for (ssize_t n = 0; (n = ::read(fds[0], buf, sizeof buf)) > 0;)
    got.append(buf, static_cast<std::size_t>(n));
  ::close(fds[0]);
  RunEvent last;
  ASSERT_TRUE(parse_event_line(got, last)) << got;
  EXPECT_EQ(last.record.reason, "refused");
}

TEST(Entry, ABadCommandLineEndsWithCodeThreeAndOneLogLineOnly) {
  const std::string log = log_path("bad");
  {
    std::ofstream earlier(log, std::ios::binary);
    earlier << "an earlier run\r\n";
  }
  const std::string nowhere = log_path("missing") + "/summary.json";
  for (std::vector<std::string> args :
       std::vector<std::vector<std::string>>{{"/auto"},
                                             {"/auto=COM0"},
                                             {"/auto=COM5", "/what"},
                                             {"/auto=COM5", "/auto=COM5"},
                                             {"/auto=COM5,COM6", "/summary=COM5.json"},
                                             {"/auto=COM5", "/summary=" + nowhere},
                                             {"/auto=COM5", "/events=999"},
                                             {"/auto=COM5", "/summary=" + log}}) {
    args.push_back("/log=" + log);
    EXPECT_EQ(run_entry(args), 3) << ::testing::PrintToString(args);
    EXPECT_TRUE(hl::windows().empty());
    EXPECT_TRUE(hl::message_boxes().empty());
    hl::reset();
  }
  const std::vector<std::string> lines = read_lines(log);
  ASSERT_EQ(lines.size(), 9u);
  EXPECT_EQ(lines[0], "an earlier run");  // appended, never rewritten
  EXPECT_EQ(message_of(lines[1]),
            "bad command line: /auto needs a port name: /auto=COMn; exit code 3");
  EXPECT_EQ(message_of(lines[2]),
            "bad command line: not a port name (COM1 to COM255) or selector (serial=, location=, "
            "usb=): COM0; exit code 3");
  EXPECT_EQ(message_of(lines[3]), "bad command line: unknown argument: /what; exit code 3");
  EXPECT_EQ(message_of(lines[4]), "bad command line: /auto is given more than once; exit code 3");
  EXPECT_EQ(message_of(lines[5]),
            "bad command line: the summary path names a device: COM5.json; exit code 3");
  EXPECT_EQ(
      message_of(lines[6]).rfind(
          "bad command line: the summary file " + nowhere + ": the file cannot be opened: ", 0),
      0u);
  EXPECT_EQ(message_of(lines[7]),
            "bad command line: /events does not name an inherited pipe: 999; exit code 3");
  EXPECT_EQ(message_of(lines[8]), "bad command line: the log and the summary are the same file: " +
                                      log + ", " + log + "; exit code 3");
}

// A log path that names a device ends an unattended run with code 3 before anything starts:
// the port is never opened, and the device hears nothing.
TEST_F(Tool, ALogPathThatIsNoDiskFileEndsWithCodeThreeAndTouchesNoPort) {
  devsim::Simulator& device = add_device("COM3");
  for (const std::string log : {"COM3.log", "com3", "\\\\.\\COM3", "NUL.txt"}) {
    EXPECT_EQ(run_entry({"/auto=COM3", "/log=" + log}), 3) << log;
    EXPECT_TRUE(hl::windows().empty());
    EXPECT_TRUE(hl::message_boxes().empty());
    hl::reset();
  }
  EXPECT_EQ(run_entry({"/auto=COM3", "/log=" + ::testing::TempDir()}), 3);  // a folder
  hl::reset();
  const devsim::Results r = device.results();
  EXPECT_EQ(r.vers_count, 0u);
  EXPECT_EQ(r.bytes_received, 0u);
  EXPECT_EQ(r.unexpected_bytes, 0u);
}

// A summary file another program keeps locked: the device is updated, the line is given up
// after 10 s, and the log and the exit code (4) say the record is missing.
TEST_F(Tool, AnUpdateWhoseSummaryLineIsLostEndsWithCodeFour) {
  devsim::Simulator& device = add_device("COM3");
  const std::string log = log_path("summary-locked");
  const std::string summary = log_path("summary-locked-json");
  const int holder = ::open(summary.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(::flock(holder, LOCK_EX), 0);
  EXPECT_EQ(run_entry({"/auto=COM3", "/log=" + log, "/summary=" + summary}), kExitSummaryLost);
  ::close(holder);
  ASSERT_TRUE(device.wait_done(5s));
  EXPECT_TRUE(device.results().image_matched);
  const std::vector<std::string> lines = read_lines(log);
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(message_of(lines[lines.size() - 3]).rfind("result: updated", 0), 0u);
  EXPECT_EQ(message_of(lines[lines.size() - 2]),
            "the summary line is lost: the file stayed locked by another program for 10 s");
  EXPECT_EQ(message_of(lines.back()), "exit code 4");
  EXPECT_TRUE(read_lines(summary).empty());
}

// "/?" shows the command line's use (in a box: a test has no console) and nothing else; under
// /auto it, like "/qv", is a bad command line: no box waits for a person.
TEST(Entry, HelpShowsTheCommandLinesUseButNotUnattended) {
  for (const char* ask : {"/?", "/help"}) {
    EXPECT_EQ(run_entry({ask}), 0);
    ASSERT_EQ(hl::message_boxes().size(), 1u);
    EXPECT_EQ(hl::message_boxes()[0].second, command_line_use());
    EXPECT_NE(command_line_use().find("/auto=COMn"), std::string::npos);
    EXPECT_EQ(hl::windows().size(), 0u);
    hl::reset();
  }
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"/auto=COM5", "/?"}, {"/help", "/auto=COM5"}, {"/qv", "/auto=COM5"}}) {
    EXPECT_EQ(run_entry(args), 3) << ::testing::PrintToString(args);
    EXPECT_TRUE(hl::message_boxes().empty());
    EXPECT_TRUE(hl::windows().empty());
    hl::reset();
  }
}

// The driver chooses its port once, when the window shows and the port list's first listing
// is over, in either order: a trial open of the list may still hold the port before that, and
// the choice would then fail as a port that cannot be opened.
TEST(Unattended, ChoosesItsPortOnceTheWindowShowsAndThePortsAreListed) {
  struct Chosen {
    std::vector<std::string> names;
    void on(TData& d, std::uint16_t) { names.push_back(to_string(d)); }
  };
  enable_pins();
  EventQueue queue;
  ScopedElementThread scoped{&queue};
  for (const bool listed_first : {false, true}) {
    SCOPED_TRACE(listed_first ? "listed first" : "shown first");
    TKxUnattended driver;
    driver.Port = "COM3";
    Chosen chosen;
    driver.onChoose = make_link<&Chosen::on>(0, &chosen);
    TData none;
    if (listed_first) driver.doListed(none, 9);
    queue.drain();
    EXPECT_TRUE(chosen.names.empty());
    TKxUnattended::startup(&driver);
    queue.drain();
    if (!listed_first) {
      EXPECT_TRUE(chosen.names.empty());
      driver.doListed(none, 9);
      queue.drain();
    }
    EXPECT_EQ(chosen.names, std::vector<std::string>{"COM3"});
    driver.doListed(none, 9);  // another listing chooses nothing more
    queue.drain();
    EXPECT_EQ(chosen.names.size(), 1u);
  }
  {
    // The adapter behind the port changed since the start (replugged): nothing is chosen, so
    // nothing is opened, and the run has no device.
    TKxUnattended driver;
    driver.Port = "COM3";
    int checks = 0;
    driver.AdapterCheck = [&checks] {
      ++checks;
      return std::string("the adapter on COM3 changed since the listing");
    };
    Chosen chosen;
    driver.onChoose = make_link<&Chosen::on>(0, &chosen);
    TData none;
    TKxUnattended::startup(&driver);
    driver.doListed(none, 9);
    queue.drain();
    EXPECT_TRUE(chosen.names.empty());
    EXPECT_EQ(checks, 1);
    EXPECT_EQ(driver.exit_code(), kExitNoDevice);
    EXPECT_EQ(driver.failure_reason(), "no device: the adapter on COM3 changed since the listing");
  }
  disable_pins();
}

// The driver's verdicts and the reasons it gives, without a window: the port's own words come
// from its hooks; a failure between the identification and the deferred click stops the click.
TEST(Unattended, SaysWhyARunFailedAndClicksNothingAfterAFailure) {
  struct Clicks {
    int count = 0;
    void on(TData&, std::uint16_t) { ++count; }
  };
  struct Crc {
    void get(TData& d, std::uint16_t) { set_string(d, "3C4D"); }
  };
  enable_pins();
  EventQueue queue;
  ScopedElementThread scoped{&queue};
  TData none, port, opened, refused;
  set_string(port, "COM3");
  set_string(refused, "GIGAWATT");
  {
    TKxUnattended driver;
    driver.Port = "COM3";
    driver.OpenFailure = [] { return std::string("access denied (port busy)"); };
    driver.doChoice(port, 0);
    driver.doNotFound(none, 3);
    EXPECT_EQ(driver.failure_reason(),
              "no device: the port could not be opened: access denied (port busy)");
    EXPECT_EQ(driver.exit_code(), kExitNoDevice);
  }
  {
    // Refused answers leave the run waiting; the time-out names the last.
    TKxUnattended driver;
    driver.Port = "COM3";
    driver.WatchSeconds = 3;
    driver.doChoice(port, 0);
    for (const char* answer : {"\r\n", "GIGAWATT A 1\r\n"}) {
      TData d;
      set_string(d, answer);
      driver.doAnswer(d, 1);
      driver.doJudged(d, 10);
      driver.doNotFound(refused, 3);
    }
    EXPECT_EQ(driver.failure_reason(),
              "no device: the answer is not the device's: \"GIGAWATT A 1\\r\\n\"");
    driver.doTimeout(none, 4);
    EXPECT_EQ(driver.failure_reason(),
              "no device: not identified within 3 s; refused: \"GIGAWATT A 1\\r\\n\" and 1 "
              "before it");
    EXPECT_EQ(driver.exit_code(), kExitNoDevice);
  }
  for (const bool fail_first : {false, true}) {
    SCOPED_TRACE(fail_first ? "a failure before the click" : "no failure");
    TKxUnattended driver;
    driver.Port = "COM3";
    driver.TotalBlocks = image_layout::kBlockCount;
    driver.SilenceSeconds = 3;
    driver.PortFailure = [] { return std::string("OS error 5"); };
    Clicks clicks;
    Crc crc;
    driver.onWrite = make_link<&Clicks::on>(0, &clicks);
    driver.dataCrc = make_link<&Crc::get>(0, &crc);
    // The steps are told as events too, the result once.
    struct Told final : RunEventSink {
      std::vector<std::string> lines;
      void on_event(const RunEvent& e) override { lines.push_back(event_line(e)); }
    } told;
    driver.Events = &told;
    TData answer, hex;
    set_string(answer, "MAGNETOFLUX VKD7 9.0\r\n");
    set_string(hex, "0D0A");
    driver.doChoice(port, 0);
    driver.doAnswer(answer, 1);
    driver.doJudged(answer, 10);
    driver.doFound(answer, 2);
    EXPECT_EQ(driver.device_answer(), "MAGNETOFLUX VKD7 9.0\r\n");
    if (fail_first) driver.doFail(hex, 8);  // the deferred click is on its way
    queue.drain();
    RunEvent found;
    ASSERT_TRUE(parse_event_line(told.lines.at(0), found)) << told.lines[0];
    EXPECT_EQ(told.lines[0].substr(told.lines[0].find(",\"port\"")),
              ",\"port\":\"COM3\",\"answer\":\"MAGNETOFLUX VKD7 9.0\\r\\n\",\"model\":\"VKD7\","
              "\"firmware\":\"9.0\"}\n");
    EXPECT_EQ(told.lines.size(), fail_first ? 2u : 1u);
    EXPECT_EQ(clicks.count, fail_first ? 0 : 1);
    if (fail_first) {
      EXPECT_EQ(driver.failure_reason(),
                "before the write button: received 0D 0A; the port reported: OS error 5");
      EXPECT_EQ(driver.exit_code(), kExitTransferFailed);
      continue;
    }
    TData click, wrong, silence;
    driver.doClick(click, 5);
    driver.doProgress(opened, 6);
    set_string(wrong, "1A2B");
    driver.doFail(wrong, 8);
    driver.doFail(wrong, 8);
    EXPECT_EQ(driver.failure_reason(),
              "after block 1: received 1A 2B, expected 3C 4D; the port reported: OS error 5");
    EXPECT_EQ(driver.exit_code(), kExitTransferFailed);
    ASSERT_EQ(told.lines.size(), 3u);
    RunEvent progress, result;
    ASSERT_TRUE(parse_event_line(told.lines[1], progress)) << told.lines[1];
    EXPECT_EQ(progress.kind, RunEvent::Kind::Progress);
    EXPECT_EQ(progress.port, "COM3");
    EXPECT_EQ(std::vector<int>({progress.blocks, progress.total, progress.percent}),
              std::vector<int>({1, image_layout::kBlockCount, 0}));
    ASSERT_TRUE(parse_event_line(told.lines[2], result)) << told.lines[2];
    RunRecord expected = record_of(driver, "COM3");
    expected.time = result.time;
    expected.seconds = result.record.seconds;
    EXPECT_EQ(summary_line(result.record), summary_line(expected));
  }
  disable_pins();
}

// A pipe a run's events go into (its name for "/events="), read as they come; the run closes
// the writing end as it ends.
struct EventPipe {
  int ends[2] = {-1, -1};
  std::string heard;
  std::thread reader;
  EventPipe() {
    if (::pipe(ends) != 0) return;
    reader = std::thread([this] {
      char buf[4096];
      for (ssize_t n; (n = ::read(ends[0], buf, sizeof buf)) > 0;)
        heard.append(buf, static_cast<std::size_t>(n));
    });
  }
  std::string name() const { return std::to_string(ends[1]); }
  // Every line as an event, once the run is over; a line that is none fails the test.
  std::vector<RunEvent> events() {
    if (reader.joinable()) reader.join();
    if (ends[0] >= 0) ::close(ends[0]);
    ends[0] = -1;
    std::vector<RunEvent> out;
    std::istringstream in(heard);
    for (std::string text; std::getline(in, text);) {
      RunEvent e;
      EXPECT_TRUE(parse_event_line(text, e)) << text;
      out.push_back(e);
    }
    return out;
  }
};

struct AutoCase {
  const char* name;
  Fault fault;
  int fault_block;
  bool device;  // false: nothing behind the port, it cannot be opened
  int code;
  bool pusk;
  std::vector<std::string> last_lines;  // the log's last lines
  std::string summary;                  // the summary line after its time, from the port on
  std::string version = "";             // the identification answer, when not the usual one
  std::size_t version_cut = 0;          // the answer in two writes, cut after this many bytes
  bool trial_refused = false;           // the port list's trial open of the port gets no thread
};

// Unattended runs through the program's entry against the simulated device: the exit code,
// what reached the device, and the log. The device reads slowly after its final answer, and the
// program ends right after "PUSK": it must arrive all the same.
TEST_F(Tool, UnattendedRunsEndWithTheirExitCodeAndLog) {
  const std::string identified = "device identified";
  const std::vector<AutoCase> cases = {
      {"success",
       Fault::None,
       0,
       true,
       0,
       true,
       {"progress 100 % (" + of_all(image_layout::kBlockCount) + ")",
        "result: updated, " + of_all(image_layout::kBlockCount), "exit code 0"},
       R"("port":"COM3","model":"VKD7","firmware":"9.0","offered":"9.1","result":"updated","blocks":508,"seconds":#,"exit_code":0,"reason":""})"},
      {"wrong-crc",
       Fault::WrongCrc,
       2,
       true,
       1,
       false,
       {"write clicked", "result: transfer failed, " + of_all(2), "exit code 1"},
       R"("port":"COM3","model":"VKD7","firmware":"9.0","offered":"9.1","result":"transfer failed","blocks":2,"seconds":#,"exit_code":1,"reason":"after block 2: received )"},
      {"silent",
       Fault::SilentBlock,
       60,
       true,
       1,
       false,
       {"progress 10 % (" + of_all(51) + ")", "result: transfer failed, " + of_all(60),
        "exit code 1"},
       R"("port":"COM3","model":"VKD7","firmware":"9.0","offered":"9.1","result":"transfer failed","blocks":60,"seconds":#,"exit_code":1,"reason":"no byte for 3 s after block 60"})"},
      {"other-device",
       Fault::OtherDevice,
       0,
       true,
       2,
       false,
       {"answer refused: \"GIGAWATT VKD7 9.0\\r\\n\"",
        "no device: not identified within 3 s; refused: \"GIGAWATT VKD7 9.0\\r\\n\"",
        "exit code 2"},
       R"("port":"COM3","model":"","firmware":"","offered":"9.1","result":"no device","blocks":0,"seconds":#,"exit_code":2,"reason":"not identified within 3 s; refused: )"},
      // A banner line before the answer is refused, and the answer after it identifies.
      {"banner",
       Fault::None,
       0,
       true,
       0,
       true,
       {"result: updated, " + of_all(image_layout::kBlockCount), "exit code 0"},
       R"("port":"COM3","model":"VKD7","firmware":"9.0","offered":"9.1","result":"updated","blocks":508,"seconds":#,"exit_code":0,"reason":""})",
       "BOOT 1.0\r\nMAGNETOFLUX VKD7 9.0\r\n",
       10},
      // The same in one write: each line is judged on its own.
      {"banner-in-one-write",
       Fault::None,
       0,
       true,
       0,
       true,
       {"result: updated, " + of_all(image_layout::kBlockCount), "exit code 0"},
       R"("port":"COM3","model":"VKD7","firmware":"9.0","offered":"9.1","result":"updated","blocks":508,"seconds":#,"exit_code":0,"reason":""})",
       "BOOT 1.0\r\nMAGNETOFLUX VKD7 9.0\r\n",
       0},
      {"silent-vers",
       Fault::SilentVers,
       0,
       true,
       2,
       false,
       {"port chosen: COM3", "no device: not identified within 3 s", "exit code 2"},
       R"("port":"COM3","model":"","firmware":"","offered":"9.1","result":"no device","blocks":0,"seconds":#,"exit_code":2,"reason":"not identified within 3 s"})"},
      {"no-port",
       Fault::None,
       0,
       false,
       2,
       false,
       {"port chosen: COM3", "no device: the port could not be opened: no such port, OS error",
        "exit code 2"},
       R"("port":"COM3","model":"","firmware":"","offered":"9.1","result":"no device","blocks":0,"seconds":#,"exit_code":2,"reason":"the port could not be opened: no such port, OS error )"},
      // The list leaves the port out, the log says why, and the run goes on all the same.
      {"no-trial-thread",
       Fault::None,
       0,
       true,
       0,
       true,
       {"result: updated, " + of_all(image_layout::kBlockCount), "exit code 0"},
       R"("port":"COM3","model":"VKD7","firmware":"9.0","offered":"9.1","result":"updated","blocks":508,"seconds":#,"exit_code":0,"reason":""})",
       "",
       0,
       true},
  };
  for (const AutoCase& c : cases) {
    SCOPED_TRACE(c.name);
    devsim::Options options;
    options.fault = c.fault;
    options.fault_block = c.fault_block;
    options.final_read_pause = 300ms;
    if (!c.version.empty()) options.version = c.version;
    options.version_cut = c.version_cut;
    devsim::Simulator& device = add_device(c.device ? "COM3" : "COM4", options);
    const std::string log = log_path(c.name);
    const std::string summary = log_path(std::string(c.name) + "-summary");

    // The run's events go into a pipe, read as they come.
    EventPipe channel;

    // The log's writer and the channel's start first, then the trial open of COM3.
    if (c.trial_refused) thread_testing::refuse_thread_starts(1, 2);
    EXPECT_EQ(run_entry({"/auto=COM3", "/log=" + log, "/summary=" + summary,
                         "/events=" + channel.name()}),
              c.code);
    // The channel is closed with the run.
    const std::vector<RunEvent> events = channel.events();
    thread_testing::refuse_thread_starts(0);
    EXPECT_FALSE(pins_enabled());
    if (c.pusk) {
      ASSERT_TRUE(device.wait_done(5s));
    }
    const devsim::Results r = device.results();
    EXPECT_EQ(r.pusk_received, c.pusk);
    EXPECT_EQ(r.image_matched, c.pusk);

    const std::vector<std::string> lines = read_lines(log);
    ASSERT_GE(lines.size(), c.last_lines.size() + 1);
    const std::vector<std::uint8_t> image = image_bytes();
    std::uint16_t crc = 0xFFFF;
    for (std::uint8_t b : image) crc = devsim::crc16_step(crc, b);
    char start[96];
    std::snprintf(start, sizeof start, "start: kxflash %s, image %zu bytes, CRC-16 %04X, ",
                  kToolVersion, image.size(), crc);
    EXPECT_EQ(message_of(lines[0]), std::string(start) + "unattended on COM3");
    std::size_t first = 1;  // the first line after the start line
    if (c.trial_refused) {
      EXPECT_EQ(message_of(lines[first++]),
                "port list: 1 trial open(s) could not start (the system refused a thread); "
                "their ports were left out of the list");
    }
    EXPECT_EQ(message_of(lines[first]), "port chosen: COM3");
    const std::size_t from = lines.size() - c.last_lines.size();
    for (std::size_t i = 0; i < c.last_lines.size(); ++i)
      EXPECT_EQ(message_of(lines[from + i]).rfind(c.last_lines[i], 0), 0u)
          << message_of(lines[from + i]) << " does not begin with " << c.last_lines[i];

    // One summary line; its seconds in place of "#", a failure's reason from its beginning.
    const std::vector<std::string> summaries = read_lines(summary);
    ASSERT_EQ(summaries.size(), 1u);
    static const std::regex line(
        R"re(^\{"time":"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d",(.*"seconds":)(\d+\.\d)(,.*)$)re");
    std::smatch m;
    ASSERT_TRUE(std::regex_match(summaries[0], m, line)) << summaries[0];
    const std::string rest = m[1].str() + "#" + m[3].str();
    EXPECT_EQ(rest.substr(0, c.summary.size()), c.summary);
    EXPECT_LT(std::stod(m[2].str()), 30.0);

    // The events: the start first, the device's identity, every block, the result last with
    // the summary's fields.
    for (const RunEvent& e : events) EXPECT_EQ(e.port, "COM3");
    ASSERT_GE(events.size(), 2u);
    EXPECT_EQ(events.front().kind, RunEvent::Kind::Start);
    EXPECT_EQ(events.back().kind, RunEvent::Kind::Result);
    std::vector<int> kinds(4, 0);
    for (const RunEvent& e : events) ++kinds[static_cast<int>(e.kind)];
    EXPECT_EQ(kinds, (std::vector<int>{1, c.code == 2 ? 0 : 1, events.back().record.blocks, 1}));
    std::string told = summary_line(events.back().record);
    told.resize(told.size() - 2);  // the line end
    ASSERT_TRUE(std::regex_match(told, m, line)) << told;
    EXPECT_EQ(m[1].str() + "#" + m[3].str(), rest);

    if (c.code == 0) {
      // The whole story of a success, line by line.
      std::vector<std::string> expected = {"port chosen: COM3"};
      const std::string answered = "device answered: \"MAGNETOFLUX VKD7 9.0\\r\\n\"";
      if (!c.version.empty()) {
        // The banner line, alone or with the answer in one run, is refused on its own.
        const std::string run = c.version_cut == 0 ? c.version : c.version.substr(0, c.version_cut);
        expected.push_back("device answered: \"" + printable(run) + "\"");
        expected.push_back("answer refused: \"" +
                           printable(c.version.substr(0, c.version.find('\n') + 1)) + "\"");
      }
      if (c.version.empty() || c.version_cut != 0) expected.push_back(answered);
      for (const std::string& step : {identified, std::string("write clicked")})
        expected.push_back(step);
      for (int p = 10; p <= 100; p += 10) {
        const std::size_t blocks = (p * image_layout::kBlockCount + 99) / 100;
        expected.push_back("progress " + std::to_string(p) + " % (" + of_all(blocks) + ")");
      }
      ASSERT_EQ(lines.size(), expected.size() + first + 2);
      for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(message_of(lines[i + first]), expected[i]);
    }
    hl::reset();
    for (auto& sim : sims) sim->stop();
    sims.clear();
    clear_registered_ports();
  }
}

// The identification's 3 s end while an answer without a line end waits for its quiet time:
// the answer is judged then, as the window would judge it, and the run goes on to update the
// device rather than ending as "no device". (Both times are given by hand.)
TEST_F(Tool, AnUnattendedTimeOutJudgesAnAnswerThatWaitsForItsQuietTime) {
  devsim::Options options;
  options.version = "MAGNETOFLUX VKD7 9.0";
  devsim::Simulator& device = add_device("COM3", options);
  disable_pins();
  set_startup_done(false);
  scheme = new TClassSimpleForm_2597650();
  auto wiring = std::make_unique<UnattendedWiring>(scheme, "COM3", nullptr);
  auto deadline = std::make_shared<testing_timer::HandTimer::State>();
  auto quiet = std::make_shared<testing_timer::HandTimer::State>();
  wiring->identify_timer().use_backend(testing_timer::hand_timer(deadline));
  TKxAnswerCollector& collector = *TClassMultiElementEx_26088F0::in(*scheme->mxIdent)->acAnswer;
  collector.use_backend(testing_timer::hand_timer(quiet));
  scheme->Form->Start();
  ASSERT_TRUE(until([&] { return collector.held() == options.version; }));
  EXPECT_EQ(status(), kChoose);
  ASSERT_TRUE(testing_timer::tick(*deadline));
  ASSERT_TRUE(until([&] { return status() != kChoose; }));
  EXPECT_TRUE(wiring->driver().identified());
  EXPECT_EQ(status(), test_texts::status_for("VKD7", "9.0"));
  ASSERT_TRUE(until([] { return tk::terminated(); }, 60s));
  EXPECT_EQ(wiring->driver().exit_code(), kExitUpdated);
  EXPECT_EQ(wiring->driver().device_answer(), options.version);
  ASSERT_TRUE(device.wait_done(5s));
  EXPECT_TRUE(device.results().image_matched);
  disable_pins();
  delete scheme;
  scheme = nullptr;
  wiring.reset();
}

// Without /auto a person drives: the log follows the run, and the code stays 0 whatever the
// outcome. A log that cannot be opened changes nothing.
TEST_F(Tool, AnAttendedRunWithALogStillEndsWithZero) {
  devsim::Options options;
  options.fault = Fault::WrongCrc;
  options.fault_block = 1;
  add_device("COM3", options);
  const std::string log = log_path("attended");
  disable_pins();
  set_startup_done(false);
  int step = 0;
  const auto give_up = std::chrono::steady_clock::now() + 60s;
  TClassSimpleForm_2597650* running = nullptr;
  const auto person = [&] {
    TClassSimpleForm_2597650* s = running;
    if (s == nullptr || !hl::shown(*s->Form->control())) return;
    if (step == 0 && hl::choose_item(*s->cbxPort->control(), "COM3")) step = 1;
    if (step == 1 && hl::usable(*s->btnWrite->control()) && hl::click(*s->btnWrite->control()))
      step = 2;
    if (step == 2 && hl::shown(*s->btnOk->control()) && hl::click(*s->btnOk->control())) step = 3;
    if (std::chrono::steady_clock::now() > give_up) tk::quit();
  };
  tk::set_idle_hook(person);
  char program[] = "kxflash";
  std::string log_arg = "/log=" + log;
  char nowhere[] = "/log=/nonexistent-dir/x.log";
  char* argv[] = {program, log_arg.data(), nullptr};
  EXPECT_EQ(run_tool(2, argv, &running), 0);
  EXPECT_EQ(step, 3);
  const std::vector<std::string> lines = read_lines(log);
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_NE(message_of(lines[0]).find(", attended"), std::string::npos);
  EXPECT_EQ(message_of(lines[4]), "write clicked");
  EXPECT_EQ(message_of(lines[5]).rfind("result: transfer failed, " + of_all(1), 0), 0u);
  EXPECT_EQ(message_of(lines[6]), "exit code 0");
  hl::reset();

  // The same run with a log that cannot be written: the update goes on unchanged.
  for (auto& sim : sims) sim->stop();
  sims.clear();
  clear_registered_ports();
  devsim::Simulator& device = add_device("COM3");
  char* argv2[] = {program, nowhere, nullptr};
  step = 0;
  disable_pins();
  set_startup_done(false);
  tk::set_idle_hook(person);
  EXPECT_EQ(run_tool(2, argv2, &running), 0);
  EXPECT_EQ(step, 3);
  // "PUSK" has left the port when the tool ends; the device thread reads it a moment later.
  ASSERT_TRUE(device.wait_done(5s));
  EXPECT_TRUE(device.results().pusk_received);
}

// The session ends mid-transfer: the process ends at once with code 130 (not 0, "updated"), and
// its summary line and result event say "interrupted" and why.
TEST_F(Tool, ASessionThatEndsMidTransferIsRecordedAsInterrupted) {
  add_device("COM3");
  const std::string summary = log_path("session-summary");
  std::vector<int> codes;
  hl::set_exit_routine([&codes](int code) { codes.push_back(code); });
  disable_pins();
  set_startup_done(false);
  TClassSimpleForm_2597650* running = nullptr;
  const auto give_up = std::chrono::steady_clock::now() + 30s;
  bool ended = false;
  tk::set_idle_hook([&] {
    TClassSimpleForm_2597650* s = running;
    if (!ended && s != nullptr && hl::progress_position(*s->pbProgress->control()) >= 50) {
      ended = true;
      hl::end_session(*s->Form->control());
    }
    if (std::chrono::steady_clock::now() > give_up) tk::quit();
  });
  EventPipe channel;
  std::vector<std::string> args = {"kxflash", "/auto=COM3", "/summary=" + summary,
                                   "/events=" + channel.name()};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  EXPECT_EQ(run_tool(4, argv.data(), &running), kExitInterrupted);
  const std::vector<RunEvent> events = channel.events();
  EXPECT_TRUE(ended);
  EXPECT_EQ(codes, std::vector<int>{kExitInterrupted});
  const std::vector<std::string> lines = read_lines(summary);
  ASSERT_EQ(lines.size(), 1u);
  for (const char* part :
       {"\"result\":\"interrupted\",\"blocks\":",
        "\"exit_code\":130,\"reason\":\"the session ended (log-off or shutdown)\"}"})
    EXPECT_NE(lines[0].find(part), std::string::npos) << lines[0];
  int results = 0;
  for (const RunEvent& e : events) {
    if (e.kind != RunEvent::Kind::Result) continue;
    ++results;
    EXPECT_EQ(e.record.result, "interrupted");
    EXPECT_GE(e.record.blocks, 50);
  }
  EXPECT_EQ(results, 1);
}

}  // namespace
}  // namespace kx::tool_testing
