// A run of several devices: the port list narrowed to the run's own ports, the supervisor of
// the processes, the summary file, and where the windows go.
#include <sys/stat.h>

#include <fstream>
#include <mutex>
#include <regex>
#include <set>
#include <thread>

#include "app/console.hpp"
#include "app/line_window.hpp"
#include "app/process_launcher.hpp"
#include "app/run_events.hpp"
#include "app/summary.hpp"
#include "app/summary_file.hpp"
#include "app/supervisor.hpp"
#include "app/unattended.hpp"
#include "app/window_place.hpp"
#include "runtime/element_thread.hpp"
#include "tests/tool/tool_fixture.hpp"

namespace kx::tool_testing {
namespace {

// With OnlyPorts the watch neither tries nor lists another port, at start and after a change.
TEST(PortWatch, OnlyTheGivenPortsAreTriedAndListed) {
  for (const char* com : {"COM3", "COM4", "COM12"})
    register_port(com, "/nonexistent/" + std::string(com));
  std::mutex mutex;
  std::vector<std::string> tried;
  enable_pins();
  EventQueue queue;
  {
    ScopedElementThread scoped{&queue};
    TKxPortWatch watch([&](const std::string& name) {
      std::lock_guard<std::mutex> lock(mutex);
      tried.push_back(name);
      return true;
    });
    watch.OnlyPorts = {"com12"};
    TData none;
    watch.doList(none, 0);
    for (int i = 0; i < 200 && watch.listing(); ++i) {
      queue.drain();
      std::this_thread::sleep_for(5ms);
    }
    EXPECT_EQ(watch.shown(), std::vector<std::string>{"COM12"});
    watch.doDeviceChange(none, 0);
    for (int i = 0; i < 200 && watch.listing(); ++i) {
      queue.drain();
      std::this_thread::sleep_for(5ms);
    }
    std::lock_guard<std::mutex> lock(mutex);
    EXPECT_EQ(tried, (std::vector<std::string>{"COM12", "COM12"}));
  }
  disable_pins();
  clear_registered_ports();
}

std::string temp_path(const std::string& name) {
  const std::string path =
      ::testing::TempDir() + "kxline_" + std::to_string(::getpid()) + "_" + name;
  std::remove(path.c_str());
  return path;
}

// Each device's line, as it ends: a folder, a pipe, a missing folder and a device name are
// refused; lines from processes that end together are whole and none is lost.
TEST(Summary, LinesAreWholeAndOnlyDiskFilesTakeThem) {
  RunRecord r;
  r.ended = std::chrono::system_clock::now();
  r.port = "COM6";
  r.model = "VKD7";
  r.firmware = "9.0";
  r.result = "transfer failed";
  r.blocks = 2;
  r.seconds = 4.25;
  r.exit_code = 1;
  r.reason = std::string("then received \"1A\\2B\"\r\n\x01\xC0", 25);
  const std::string line = summary_line(r);
  const std::string time = iso8601_local(r.ended);
  EXPECT_EQ(line, "{\"time\":\"" + time +
                      "\",\"port\":\"COM6\",\"model\":\"VKD7\",\"firmware\":\"9.0\",\"offered\":"
                      "\"9.1\",\"result\":\"transfer failed\",\"blocks\":2,\"seconds\":4.2,"
                      "\"exit_code\":1,\"reason\":\"then received \\\"1A\\\\2B\\\"\\r\\n\\u0001"
                      "\\u00C0\"}\r\n");
  r.blocks = -1;
  EXPECT_NE(summary_line(r).find("\"blocks\":null,"), std::string::npos);

  const std::string folder = temp_path("folder");
  ::mkdir(folder.c_str(), 0755);
  const std::string fifo = temp_path("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  for (const std::string& bad :
       {folder, fifo, temp_path("missing") + "/s.json", std::string("COM5.json")}) {
    EXPECT_NE(check_summary_path(bad), "") << bad;
    EXPECT_NE(write_summary(bad, r), "") << bad;
  }
  EXPECT_EQ(check_summary_path("COM5.json"), "the summary path names a device: COM5.json");
  ::rmdir(folder.c_str());
  std::remove(fifo.c_str());

  // Sixteen ends at once, each line long enough to be written in pieces.
  const std::string file = temp_path("summary.json");
  EXPECT_EQ(check_summary_path(file), "");
  std::vector<std::thread> ends;
  for (int i = 0; i < 16; ++i)
    ends.emplace_back([&file, i] {
      const std::string text = "{\"device\":" + std::to_string(i) + ",\"fill\":\"" +
                               std::string(200000, static_cast<char>('a' + i)) + "\"}\r\n";
      EXPECT_EQ(append_locked(file, text), "");
    });
  for (std::thread& t : ends) t.join();
  const std::vector<std::string> lines = read_lines(file);
  ASSERT_EQ(lines.size(), 16u);
  std::set<int> devices;
  for (const std::string& l : lines) {
    const int i = std::stoi(l.substr(10));
    devices.insert(i);
    EXPECT_EQ(l, "{\"device\":" + std::to_string(i) + ",\"fill\":\"" +
                     std::string(200000, static_cast<char>('a' + i)) + "\"}");
  }
  EXPECT_EQ(devices.size(), 16u);
  std::remove(file.c_str());

  // A full disk cuts a line short: the part is taken back, and the next line is whole. A file
  // left without a line end at its end (a part that could not be taken back) gets one first.
  const std::string full = temp_path("full.json");
  ASSERT_EQ(write_summary(full, r), "");
  const std::vector<std::string> before = read_lines(full);
  for (const long long room : {0LL, 1LL, 40LL, static_cast<long long>(line.size()) - 1}) {
    SCOPED_TRACE(room);
    summary_testing::fail_writes_after(room);
    EXPECT_NE(write_summary(full, r).find("the file cannot be written: No space left on device"),
              std::string::npos);
    summary_testing::fail_writes_after(-1);
    EXPECT_EQ(read_lines(full), before);
  }
  r.port = "COM7";
  ASSERT_EQ(write_summary(full, r), "");
  {
    std::ofstream cut(full, std::ios::binary | std::ios::app);
    cut << "{\"time\":\"2026-12-08T05:";
  }
  r.port = "COM8";
  ASSERT_EQ(write_summary(full, r), "");
  const std::vector<std::string> after = read_lines(full);
  ASSERT_EQ(after.size(), 4u);
  EXPECT_EQ(after[0], before[0]);
  EXPECT_NE(after[1].find("\"port\":\"COM7\""), std::string::npos);
  EXPECT_EQ(after[2], "{\"time\":\"2026-12-08T05:");
  EXPECT_EQ(after[3] + "\r\n", summary_line(r));
  std::remove(full.c_str());

  // Another program holds the lock: the line waits a bounded time and is then given up as lost
  // (nothing written); a holder that lets go within the bound lets it through.
  const std::string locked = temp_path("locked.json");
  const int holder = ::open(locked.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(::flock(holder, LOCK_EX), 0);
  const auto began = std::chrono::steady_clock::now();
  EXPECT_EQ(append_locked(locked, "lost\r\n", std::chrono::milliseconds(300)),
            "the file stayed locked by another program for 300 ms");
  const auto took = std::chrono::steady_clock::now() - began;
  EXPECT_GE(took, std::chrono::milliseconds(300));
  EXPECT_LT(took, std::chrono::seconds(3));
  EXPECT_EQ(check_summary_path(locked), "");  // opening it needs no lock
  std::thread release([holder] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    ::flock(holder, LOCK_UN);
  });
  EXPECT_EQ(append_locked(locked, "kept\r\n", std::chrono::seconds(5)), "");
  release.join();
  ::close(holder);
  EXPECT_EQ(read_lines(locked), std::vector<std::string>{"kept"});
  std::remove(locked.c_str());
}

// A launcher that starts nothing: it records the arguments and tells what it is given to tell.
class FakeLauncher : public ProcessLauncher {
 public:
  std::vector<std::vector<std::string>> started;
  std::vector<ProcessNews> news;  // in order; Quiet: nothing for the bound asked
  int refuse = -1;                // this start fails
  bool obeys = true;              // a process told to end ends (killed by signal 9)
  std::vector<int> ended;         // the ids told to end
  std::vector<int> forgotten;
  int start(const ArgumentsFor& args, std::string& problem) override {
    if (static_cast<int>(calls_++) == refuse) {
      problem = "OS error 8";
      return -1;
    }
    started.push_back(args(std::to_string(started.size() + 7)));
    return static_cast<int>(started.size()) - 1;
  }
  ProcessNews wait(std::chrono::milliseconds bound) override {
    if (next_ == news.size()) return {};
    if (news[next_].kind == ProcessNews::Kind::Quiet) {
      std::this_thread::sleep_for(std::min(bound, std::chrono::milliseconds(100)));
      if (!told_.empty()) {
        ProcessNews n = told_.front();
        told_.erase(told_.begin());
        return n;
      }
    }
    return news[next_++];
  }
  void end(int id) override {
    ended.push_back(id);
    if (obeys) told_.push_back({ProcessNews::Kind::Ended, id, {}, {id, false, 9}});
  }
  void forget(int id) override { forgotten.push_back(id); }

 private:
  std::size_t calls_ = 0, next_ = 0;
  std::vector<ProcessNews> told_;  // ends of processes told to end
};

ProcessNews line_of(int id, const std::string& line) {
  return {ProcessNews::Kind::Line, id, line, {}};
}
ProcessNews end_of(int id, bool exited, long long code) {
  return {ProcessNews::Kind::Ended, id, {}, {id, exited, code}};
}
ProcessNews quiet() {
  return {ProcessNews::Kind::Quiet, -1, {}, {}};
}

// A device's own result line, as its process tells it.
std::string told_result(const std::string& port, int code, int blocks = 508) {
  RunRecord r;
  r.time = "2026-12-08T05:10:44.120+03:00";
  r.port = port;
  r.model = "VKD7";
  r.firmware = "9.0";
  r.exit_code = code;
  r.result = result_of(code);
  r.blocks = blocks;
  r.seconds = 35.4;
  if (code != 0) r.reason = "no byte for 3 s after block 60";
  std::string line = event_line(result_event(r));
  line.pop_back();
  return line;
}

std::string told(RunEvent::Kind kind, const std::string& port, int blocks = 0) {
  RunEvent e;
  e.kind = kind;
  e.time = "2026-12-08T05:10:10.000+03:00";
  e.port = port;
  e.answer = "MAGNETOFLUX NKD7 8.2\r\n";
  e.model = "NKD7";
  e.firmware = "8.2";
  e.blocks = blocks;
  e.total = 508;
  e.percent = blocks * 100 / 508;
  std::string line = event_line(e);
  line.pop_back();
  return line;
}

struct SuperviseCase {
  const char* name;
  std::vector<ProcessNews> news;
  int refuse;
  int code;
  // The summary's lines in order, each from "port": on, the time and the seconds left out.
  std::vector<std::string> lines;
  bool obeys = true;
};

// A summary line from its "port" field on, its seconds as "#".
std::string from_port(const std::string& line) {
  static const std::regex seconds(R"re("seconds":\d+\.\d)re");
  return std::regex_replace(line.substr(line.find("\"port\"")), seconds, "\"seconds\":#");
}

// The first process writes one summary line per port: a device's own result, whatever
// happened to its process afterwards; its own "interrupted" record for a process that ended
// without one (a crash, a kill, a stuck process it ended); the run's code from those lines.
TEST(Supervisor, WritesOneTrueLinePerPortAndSetsTheRunsCode) {
  const std::string updated =
      R"("model":"VKD7","firmware":"9.0","offered":"9.1","result":"updated","blocks":508,"seconds":#,"exit_code":0,"reason":""})";
  const std::string failed =
      R"("model":"VKD7","firmware":"9.0","offered":"9.1","result":"transfer failed","blocks":60,"seconds":#,"exit_code":1,"reason":"no byte for 3 s after block 60"})";
  const std::string lost =
      R"("model":"NKD7","firmware":"8.2","offered":"9.1","result":"interrupted","blocks":51,"seconds":#,"exit_code":130,"reason":")";
  const std::string unknown =
      R"("model":"","firmware":"","offered":"9.1","result":"interrupted","blocks":null,"seconds":#,"exit_code":130,"reason":")";
  const std::vector<SuperviseCase> cases = {
      {"all updated",
       {line_of(1, told_result("COM6", 0)), end_of(1, true, 0), line_of(0, told_result("COM5", 0)),
        line_of(2, told_result("com7", 0)), end_of(0, true, 0), end_of(2, true, 0)},
       -1,
       0,
       {R"("port":"COM6",)" + updated, R"("port":"COM5",)" + updated,
        R"("port":"com7",)" + updated}},
      {"one failed, one without device",
       {line_of(0, told_result("COM5", 2, 0)), line_of(1, told_result("COM6", 1, 60)),
        line_of(2, told_result("com7", 0)), end_of(0, true, 2), end_of(1, true, 1),
        end_of(2, true, 0)},
       -1,
       1,
       {R"("port":"COM5","model":"VKD7","firmware":"9.0","offered":"9.1","result":"no device","blocks":0,"seconds":#,"exit_code":2,"reason":"no byte for 3 s after block 60"})",
        R"("port":"COM6",)" + failed, R"("port":"com7",)" + updated}},
      // A crash after the result, a second result, a line that is no event: one true line.
      {"a crash after the result",
       {line_of(0, told_result("COM5", 0)), line_of(1, "{\"event\":\"res"),
        line_of(1, told_result("COM6", 0)), line_of(1, told_result("COM6", 1, 60)),
        end_of(1, true, 0xC0000005), line_of(2, told_result("com7", 0)), end_of(0, true, 0),
        end_of(2, false, 11)},
       -1,
       0,
       {R"("port":"COM5",)" + updated, R"("port":"COM6",)" + updated,
        R"("port":"com7",)" + updated}},
      // Ended from outside (End task, taskkill /F: exit code 1), a signal, a crash: no result.
      {"ended without a result",
       {line_of(0, told(RunEvent::Kind::Start, "COM5")),
        line_of(0, told(RunEvent::Kind::Identified, "COM5")),
        line_of(0, told(RunEvent::Kind::Progress, "COM5", 51)), end_of(0, true, 1),
        line_of(1, told_result("COM6", 0)), end_of(1, true, 0), end_of(2, false, 9)},
       -1,
       1,
       {R"("port":"COM5",)" + lost +
            R"(the process serving the port ended without a result: exit code 1"})",
        R"("port":"COM6",)" + updated,
        R"("port":"com7",)" + unknown +
            R"(the process serving the port ended without a result: killed by signal 9"})"}},
      {"not started",
       {line_of(0, told_result("COM5", 0)), end_of(0, true, 0), line_of(1, told_result("com7", 0)),
        end_of(1, true, 0)},
       1,
       1,
       {R"("port":"COM6","model":"","firmware":"","offered":"9.1","result":"transfer failed","blocks":null,"seconds":#,"exit_code":1,"reason":"the process for the port could not be started: OS error 8"})",
        R"("port":"COM5",)" + updated, R"("port":"com7",)" + updated}},
      // Silent for longer than the limit: ended and recorded, the others go on.
      {"stuck",
       {line_of(0, told_result("COM5", 0)), end_of(0, true, 0), line_of(1, told_result("COM6", 0)),
        end_of(1, true, 0), line_of(2, told(RunEvent::Kind::Start, "com7")), quiet(), quiet()},
       -1,
       1,
       {R"("port":"COM5",)" + updated, R"("port":"COM6",)" + updated,
        R"("port":"com7",)" + unknown +
            R"(no step for 0 s: the first process ended it; it ended, killed by signal 9"})"}},
      // A process that does not end when told is given up; the run still ends.
      {"stuck for good",
       {line_of(0, told_result("COM5", 0)), end_of(0, true, 0), line_of(1, told_result("COM6", 0)),
        end_of(1, true, 0), quiet(), quiet(), quiet(), quiet(), quiet(), quiet()},
       -1,
       1,
       {R"("port":"COM5",)" + updated, R"("port":"COM6",)" + updated,
        R"("port":"com7",)" + unknown +
            R"(no step for 0 s: the first process ended it; it did not end"})"},
       false},
  };
  for (const SuperviseCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string summary = temp_path("supervised.json");
    CommandLine line;
    line.mode = CommandLine::Mode::Auto;
    line.ports = {"COM5", "COM6", "com7"};
    line.log_path = "C:\\runs\\update.log";
    line.summary_path = summary;
    FakeLauncher launcher;
    launcher.news = c.news;
    launcher.refuse = c.refuse;
    launcher.obeys = c.obeys;
    SuperviseOptions options;
    options.stuck_after = 100ms;
    options.end_grace = 100ms;
    std::vector<int> results(3, 0);
    options.events = [&](std::size_t i, const RunEvent& e) {
      if (e.kind == RunEvent::Kind::Result) ++results.at(i);
    };
    UpdateLog log;
    EXPECT_EQ(supervise(line, launcher, log, options), c.code);
    EXPECT_EQ(results, std::vector<int>(3, 1));
    if (c.refuse < 0) {
      ASSERT_EQ(launcher.started.size(), 3u);
      EXPECT_EQ(launcher.started[2],
                (std::vector<std::string>{"/auto=com7", "/place=3,3",
                                          "/log=C:\\runs\\update-com7.log", "/events=9"}));
    }
    const std::vector<std::string> lines = read_lines(summary);
    ASSERT_EQ(lines.size(), c.lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
      EXPECT_EQ(from_port(lines[i]), c.lines[i]);
      // A device's own line keeps the time its process gave it.
      if (c.lines[i].find("\"result\":\"interrupted\"") == std::string::npos &&
          c.lines[i].find("could not be started") == std::string::npos) {
        EXPECT_EQ(lines[i].rfind("{\"time\":\"2026-12-08T05:10:44.120+03:00\",", 0), 0u);
      }
    }
    EXPECT_EQ(launcher.ended, std::string(c.name).rfind("stuck", 0) == 0 ? std::vector<int>{2}
                                                                         : std::vector<int>{});
    std::remove(summary.c_str());
  }
  EXPECT_EQ(line_exit_code({0, 2, 1, 0}), 1);
  EXPECT_EQ(line_exit_code({4, 1}), 1);
  EXPECT_EQ(line_exit_code({4, 2, 0}), 2);
  EXPECT_EQ(line_exit_code({0, 4, 0}), 4);
  EXPECT_EQ(line_exit_code({0, 130, 2}), 1);
  EXPECT_EQ(line_exit_code({0, 2, 0}), 2);
  EXPECT_EQ(port_log_path("update.log", "COM5"), "update-COM5.log");
  EXPECT_EQ(port_log_path("logs.d/run", "COM5"), "logs.d/run-COM5");
  EXPECT_EQ(port_log_path("C:\\logs.d\\.log", "COM5"), "C:\\logs.d\\.log-COM5");
  EXPECT_EQ(port_log_path("a.b.txt", "COM12"), "a.b-COM12.txt");

  // Each device's lines on the shared console begin with its port.
  struct Captured final : LogFile {
    std::string* text;
    explicit Captured(std::string* t) : text(t) {}
    bool append(std::string_view bytes) override {
      *text += bytes;
      return true;
    }
  };
  std::string shown;
  auto console = with_line_prefix(std::make_unique<Captured>(&shown), "COM6 ");
  console->append("t1 port chosen: COM6\r\n");
  console->append("t2 a\r\nt3 b\r\n");
  EXPECT_EQ(shown, "COM6 t1 port chosen: COM6\r\nCOM6 t2 a\r\nCOM6 t3 b\r\n");
  EXPECT_EQ(with_line_prefix(nullptr, "COM6 "), nullptr);
}

// The POSIX launcher with real processes: each end is reported once, with its code or signal,
// after every whole line its process wrote to its channel.
TEST(Supervisor, TheLauncherReportsEachEndOnceAfterItsLines) {
  auto launcher = make_process_launcher("/bin/sh");
  std::string problem;
  const auto sh = [](std::string script) {
    return [script](const std::string& channel) {
      return std::vector<std::string>{"-c", script, "sh", channel};
    };
  };
  EXPECT_EQ(launcher->start(sh("echo one >&$1; echo two >&$1; sleep 0.2; exit 2"), problem), 0);
  EXPECT_EQ(launcher->start(sh("printf 'cut' >&$1; kill -SEGV $$"), problem), 1);
  EXPECT_EQ(launcher->start(sh("exit 0"), problem), 2);
  std::vector<std::tuple<int, bool, long long>> seen;
  std::vector<std::string> lines;
  for (ProcessNews n = launcher->wait(5s); n.kind != ProcessNews::Kind::None;
       n = launcher->wait(5s)) {
    ASSERT_NE(n.kind, ProcessNews::Kind::Quiet);
    if (n.kind == ProcessNews::Kind::Line) {
      EXPECT_EQ(std::count_if(seen.begin(), seen.end(),
                              [&](const auto& t) { return std::get<0>(t) == n.id; }),
                0);
      lines.push_back(std::to_string(n.id) + n.line);
    } else {
      seen.emplace_back(n.end.id, n.end.exited, n.end.code);
    }
  }
  std::sort(seen.begin(), seen.end());
  EXPECT_EQ(seen, (std::vector<std::tuple<int, bool, long long>>{
                      {0, true, 2}, {1, false, 11}, {2, true, 0}}));
  EXPECT_EQ(lines, (std::vector<std::string>{"0one", "0two"}));
  EXPECT_EQ(make_process_launcher("/nonexistent/program")->start(sh(""), problem), -1);
  EXPECT_FALSE(problem.empty());
}

// A run of several with real processes that tell their events, as the tool's own would: one
// that moves slowly but steadily for longer than the stuck limit, one that crashes after its
// result, one that never ends, one killed by a signal mid-transfer. The run ends by itself
// with one line per port; the stuck one is ended and the awaited ports are logged meanwhile.
TEST(Supervisor, ARunOfRealProcessesEndsByItselfWithOneLinePerPort) {
  const std::string summary = temp_path("real.json");
  const std::string log_file = temp_path("real.log");
  CommandLine line;
  line.mode = CommandLine::Mode::Auto;
  line.ports = {"COM5", "COM6", "COM7", "COM8"};
  line.summary_path = summary;
  const auto progress = [](const std::string& port, int blocks) {
    return told(RunEvent::Kind::Progress, port, blocks);
  };
  // Each script writes its arguments from $2 on as lines into the channel $1, as told.
  const std::vector<std::vector<std::string>> scripts = {
      {"for l in \"$@\"; do [ \"$l\" = \"$1\" ] || { printf '%s\\n' \"$l\" >&$1; sleep 0.15; }; "
       "done",
       told(RunEvent::Kind::Start, "COM5"), progress("COM5", 1), progress("COM5", 2),
       progress("COM5", 3), progress("COM5", 4), progress("COM5", 5), progress("COM5", 6),
       told_result("COM5", 0)},
      {"printf '%s\\n' \"$2\" >&$1; kill -SEGV $$", told_result("COM6", 0)},
      {"printf '%s\\n' \"$2\" >&$1; exec sleep 60", told(RunEvent::Kind::Start, "COM7")},
      {"printf '%s\\n%s\\n' \"$2\" \"$3\" >&$1; kill -KILL $$",
       told(RunEvent::Kind::Identified, "COM8"), progress("COM8", 51)},
  };
  SuperviseOptions options;
  options.stuck_after = 500ms;
  options.report_every = 200ms;
  options.arguments = [&](std::size_t i, const std::string& channel) {
    std::vector<std::string> args = {"-c", scripts[i][0], "sh", channel};
    args.insert(args.end(), scripts[i].begin() + 1, scripts[i].end());
    return args;
  };
  std::vector<std::string> heard;
  options.events = [&](std::size_t i, const RunEvent& e) {
    heard.push_back(line.ports[i] + " " + event_word(e.kind));
  };
  auto launcher = make_process_launcher("/bin/sh");
  const auto began = std::chrono::steady_clock::now();
  {
    UpdateLog log(log_file);
    EXPECT_EQ(supervise(line, *launcher, log, options), 1);
  }
  EXPECT_LT(std::chrono::steady_clock::now() - began, 5s);
  std::vector<std::string> lines = read_lines(summary);
  std::sort(lines.begin(), lines.end(),
            [](const std::string& a, const std::string& b) { return from_port(a) < from_port(b); });
  const std::string updated =
      R"("model":"VKD7","firmware":"9.0","offered":"9.1","result":"updated","blocks":508,"seconds":#,"exit_code":0,"reason":""})";
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(from_port(lines[0]), R"("port":"COM5",)" + updated);
  EXPECT_EQ(from_port(lines[1]), R"("port":"COM6",)" + updated);
  EXPECT_EQ(
      from_port(lines[2]),
      R"("port":"COM7","model":"","firmware":"","offered":"9.1","result":"interrupted","blocks":null,"seconds":#,"exit_code":130,"reason":"no step for 0 s: the first process ended it; it ended, killed by signal 9"})");
  EXPECT_EQ(
      from_port(lines[3]),
      R"("port":"COM8","model":"NKD7","firmware":"8.2","offered":"9.1","result":"interrupted","blocks":51,"seconds":#,"exit_code":130,"reason":"the process serving the port ended without a result: killed by signal 9"})");
  std::sort(heard.begin(), heard.end());
  EXPECT_EQ(heard,
            (std::vector<std::string>{
                "COM5 progress", "COM5 progress", "COM5 progress", "COM5 progress", "COM5 progress",
                "COM5 progress", "COM5 result", "COM5 start", "COM6 result", "COM7 result",
                "COM7 start", "COM8 identified", "COM8 progress", "COM8 result"}));
  const std::vector<std::string> logged = read_lines(log_file);
  EXPECT_TRUE(std::any_of(logged.begin(), logged.end(), [](const std::string& l) {
    return l.find("waiting for ") != std::string::npos &&
           l.find("COM7 (last step 0 s ago)") != std::string::npos;
  }));
  EXPECT_TRUE(std::any_of(logged.begin(), logged.end(), [](const std::string& l) {
    return l.find("COM6: its process ended, killed by signal 11, after its result") !=
           std::string::npos;
  }));
  std::remove(summary.c_str());
  std::remove(log_file.c_str());
}

struct PlaceCase {
  int n;
  tk::Rect area;  // design pixels
  bool room;      // no window covers another
};

// Side by side where the work area has room; else every caption's left end stays visible. At
// 96 to 192 pixels per inch on common screens.
TEST(WindowPlace, NoneCoversAnotherWhereThereIsRoomAndCaptionsStayVisible) {
  const tk::Extent w{503, 162};
  const std::vector<PlaceCase> cases = {
      {3, {0, 0, 1024, 738}, true},     {6, {0, 0, 1024, 738}, true},
      {8, {0, 0, 1024, 738}, true},     {16, {0, 0, 1024, 738}, false},
      {6, {0, 0, 1280, 1000}, true},    {3, {0, 0, 683, 492}, false},  // 1024x738 at 144 dpi
      {16, {0, 0, 960, 520}, false},    {3, {0, 0, 512, 369}, false},  // 192 dpi
      {2, {100, 40, 1820, 1000}, true}, {16, {0, 0, 1920, 1040}, true},
  };
  for (const PlaceCase& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.n) + " in " + std::to_string(c.area.width) + "x" +
                 std::to_string(c.area.height));
    std::vector<tk::Rect> at;
    for (int k = 1; k <= c.n; ++k) at.push_back(window_place(k, c.n, c.area, w));
    for (std::size_t i = 0; i < at.size(); ++i) {
      EXPECT_EQ(at[i].width, w.width);
      EXPECT_GE(at[i].left, c.area.left);
      EXPECT_GE(at[i].top, c.area.top);
      EXPECT_LE(at[i].left + w.width, c.area.left + c.area.width);
      EXPECT_LE(at[i].top + w.height, c.area.top + c.area.height);
      for (std::size_t j = i + 1; j < at.size(); ++j) {
        const tk::Rect& a = at[i];
        const tk::Rect& b = at[j];
        const auto overlap = [](const tk::Rect& p, const tk::Rect& q) {
          return p.left < q.left + q.width && q.left < p.left + p.width &&
                 p.top < q.top + q.height && q.top < p.top + p.height;
        };
        if (c.room) {
          EXPECT_FALSE(overlap(a, b)) << i << " and " << j;
        }
        // The later window lies above the earlier one: the caption's left end stays clear.
        EXPECT_FALSE(overlap({a.left, a.top, kCaptionVisibleWidth, kCaptionStep}, b))
            << i << " under " << j;
      }
    }
  }
}

// A device's window in a run of several: its caption names the port, it takes its place at
// the screen's resolution, and its list shows only its own port.
TEST_F(Tool, ADevicesWindowNamesItsPortAndTakesItsPlace) {
  add_device("COM3");
  add_device("COM4");
  hl::set_screen_dpi(192);
  hl::set_work_area({0, 0, 1920, 1040});
  disable_pins();
  set_startup_done(false);
  scheme = new TClassSimpleForm_2597650();
  scheme->pwPorts->OnlyPorts = {"COM4"};
  place_line_window(*scheme, "COM4", 2, 3);
  scheme->Form->Start();
  hl::drain();
  EXPECT_TRUE(until([&] { return !scheme->pwPorts->listing(); }, 5s));
  tk::Window* form = hl::main_form();
  ASSERT_NE(form, nullptr);
  EXPECT_EQ(form->text(), "Magnetoflux bootloader \x97 COM4");
  EXPECT_EQ(form->rect(), window_place(2, 3, {0, 0, 960, 520}, {503, 162}));
  EXPECT_EQ(hl::items(w(scheme->cbxPort)), std::vector<std::string>{"COM4"});
}

}  // namespace
}  // namespace kx::tool_testing
