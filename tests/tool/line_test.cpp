// A run of several devices: the port list narrowed to the run's own ports, the supervisor of
// the processes, the summary file, and where the windows go.
#include <sys/stat.h>

#include <mutex>
#include <set>
#include <thread>

#include "app/console.hpp"
#include "app/line_window.hpp"
#include "app/process_launcher.hpp"
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
}

// A launcher that starts nothing: it records the arguments and ends the processes as told.
class FakeLauncher : public ProcessLauncher {
 public:
  std::vector<std::vector<std::string>> started;
  std::vector<ProcessEnd> ends;  // in the order they end; ids as start() gives them
  int refuse = -1;               // this start fails
  int start(const std::vector<std::string>& args, std::string& problem) override {
    if (static_cast<int>(calls_++) == refuse) {
      problem = "OS error 8";
      return -1;
    }
    started.push_back(args);
    return static_cast<int>(started.size()) - 1;
  }
  ProcessEnd wait_any() override {
    if (next_ == ends.size()) return {};
    return ends[next_++];
  }

 private:
  std::size_t calls_ = 0, next_ = 0;
};

struct SuperviseCase {
  const char* name;
  std::vector<ProcessEnd> ends;
  int refuse;
  int code;
  std::vector<std::string> own_lines;  // summary lines the supervisor writes: port and reason
};

// The whole run's code from the devices' codes; a crash, an odd code, a process that cannot
// start count as failed transfers, and the supervisor writes their summary lines.
TEST(Supervisor, StartsOneProcessPerPortAndSetsTheRunsCode) {
  const std::string crash = "the process serving the port ended abnormally: ";
  const std::vector<SuperviseCase> cases = {
      {"all updated", {{1, true, 0}, {0, true, 0}, {2, true, 0}}, -1, 0, {}},
      {"one failed", {{0, true, 0}, {1, true, 1}, {2, true, 2}}, -1, 1, {}},
      {"one without device", {{0, true, 2}, {1, true, 0}, {2, true, 0}}, -1, 2, {}},
      {"a crash",
       {{0, true, 0}, {1, true, 0xC0000005}, {2, true, 2}},
       -1,
       1,
       {"COM6|" + crash + "exit code 0xC0000005"}},
      {"a signal",
       {{2, false, 11}, {0, true, 0}, {1, true, 0}},
       -1,
       1,
       {"com7|" + crash + "killed by signal 11"}},
      {"code 3",
       {{0, true, 0}, {1, true, 3}, {2, true, 0}},
       -1,
       1,
       {"COM6|" + crash + "exit code 3"}},
      {"not started",
       {{0, true, 0}, {1, true, 0}},
       1,
       1,
       {"COM6|the process for the port could not be started: OS error 8"}},
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
    launcher.ends = c.ends;
    launcher.refuse = c.refuse;
    UpdateLog log;
    EXPECT_EQ(supervise(line, launcher, log), c.code);
    if (c.refuse < 0) {
      ASSERT_EQ(launcher.started.size(), 3u);
      EXPECT_EQ(launcher.started[2], (std::vector<std::string>{"/auto=com7", "/place=3,3",
                                                               "/log=C:\\runs\\update-com7.log",
                                                               "/summary=" + summary}));
    }
    const std::vector<std::string> lines = read_lines(summary);
    ASSERT_EQ(lines.size(), c.own_lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
      const std::string port = c.own_lines[i].substr(0, c.own_lines[i].find('|'));
      const std::string reason = c.own_lines[i].substr(port.size() + 1);
      EXPECT_NE(lines[i].find("\"port\":\"" + port +
                              "\",\"model\":\"\",\"firmware\":\"\","
                              "\"offered\":\"9.1\",\"result\":\"transfer failed\","
                              "\"blocks\":null,"),
                std::string::npos)
          << lines[i];
      EXPECT_NE(lines[i].find("\"exit_code\":1,\"reason\":\"" + reason + "\"}"), std::string::npos)
          << lines[i];
    }
    std::remove(summary.c_str());
  }
  EXPECT_EQ(line_exit_code({0, 2, 1, 0}), 1);
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

// The POSIX launcher with real processes: each end is reported once, with its code or signal.
TEST(Supervisor, TheLauncherReportsEachEndOnce) {
  auto launcher = make_process_launcher("/bin/sh");
  std::string problem;
  EXPECT_EQ(launcher->start({"-c", "sleep 0.2; exit 2"}, problem), 0);
  EXPECT_EQ(launcher->start({"-c", "kill -SEGV $$"}, problem), 1);
  EXPECT_EQ(launcher->start({"-c", "exit 0"}, problem), 2);
  std::vector<std::tuple<int, bool, long long>> seen;
  for (ProcessEnd e = launcher->wait_any(); e.id >= 0; e = launcher->wait_any())
    seen.emplace_back(e.id, e.exited, e.code);
  std::sort(seen.begin(), seen.end());
  EXPECT_EQ(seen, (std::vector<std::tuple<int, bool, long long>>{
                      {0, true, 2}, {1, false, 11}, {2, true, 0}}));
  EXPECT_EQ(make_process_launcher("/nonexistent/program")->start({}, problem), -1);
  EXPECT_FALSE(problem.empty());
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
