// transfer_bench [--paced] [--usb] [--reference]: the whole image's transfer, by the tool's own
// sub-schemes and by a minimal reference sender (one write per block, table CRC), each
// against a fresh device simulator process on a pseudo-terminal. Prints wall and CPU time of
// both, the device's own transfer time (first image byte to "PUSK"), the tool's write calls,
// and their ratios; paced (38462 baud on the simulator's side), also the ratio to the wire
// time. --reference runs the reference sender only (tools/bench/station-bench.sh sets the
// Linux station beside it). --usb models a USB adapter: every write call costs 1 ms (one
// frame) on both senders, and the device's answers arrive on a 16 ms latency tick.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "elements/serial/port.hpp"
#include "elements/serial/port_table.hpp"
#include "runtime/element_thread.hpp"
#include "runtime/image_layout.hpp"
#include "tools/bench/costly_writes_port.hpp"
#include "tools/devsim/simulator.hpp"
#include "tools/harness/dialogue_host.hpp"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kImageSize = kx::image_layout::kSize;
constexpr std::size_t kBlock = kx::image_layout::kBlockSize;
const std::string kAnswer = "MAGNETOFLUX VKD7 9.0\r\n";

struct Measure {
  double wall = 0;
  double cpu = 0;
  double sys = 0;     // the part of cpu spent in the kernel
  double device = 0;  // the device's transfer time: first image byte read to "PUSK"
  std::size_t write_calls = 0;
  bool ok = false;
};

struct Setup {
  bool paced = false;
  bool usb = false;
  bool reference_only = false;
};
constexpr auto kUsbFrame = std::chrono::microseconds(1000);

double seconds(const timeval& t) {
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}
double cpu_seconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return seconds(u.ru_utime) + seconds(u.ru_stime);
}
double sys_seconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return seconds(u.ru_stime);
}

// A device simulator in a process of its own; the port appears as a link in a fresh folder.
class Device {
 public:
  explicit Device(const Setup& setup) {
    char folder[] = "/tmp/kxbench-XXXXXX";
    dir_ = mkdtemp(folder);
    link_ = dir_ + "/port";
    report_ = dir_ + "/report";
    std::vector<std::string> args = {"devsim", "--link",  link_,        "--report",
                                     report_,  "--image", KX_IMAGE_FILE};
    if (setup.paced) args.insert(args.end(), {"--baud", "38462"});
    if (setup.usb) args.insert(args.end(), {"--delivery", "ftdi"});
    pid_ = fork();
    if (pid_ == 0) {
      int null = open("/dev/null", O_WRONLY);
      dup2(null, 1);
      std::vector<char*> argv;
      for (std::string& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(KX_DEVSIM_PATH, argv.data());
      _exit(127);
    }
    for (int i = 0; i < 500 && access(link_.c_str(), F_OK) != 0; ++i)
      std::this_thread::sleep_for(10ms);
  }
  ~Device() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
    std::remove(report_.c_str());
    rmdir(dir_.c_str());
  }
  const std::string& port() const { return link_; }
  // Waits for the simulator to finish and answers whether it saw the image and "PUSK"; the
  // device's transfer time goes to `device_seconds`.
  bool verdict(double& device_seconds) {
    int status = 0;
    pid_t got = 0;
    for (int i = 0; i < 1000 && got == 0; ++i) {
      got = waitpid(pid_, &status, WNOHANG);
      if (got == 0) std::this_thread::sleep_for(10ms);
    }
    if (got == pid_)
      pid_ = -1;
    else
      std::fprintf(stderr, "device did not finish (%d)\n", static_cast<int>(got));
    std::ifstream in(report_);
    std::string report((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const bool ok = report.find("image_matched=1") != std::string::npos &&
                    report.find("pusk_received=1") != std::string::npos;
    const std::size_t at = report.find("transfer_us=");
    if (at != std::string::npos)
      device_seconds =
          std::strtod(report.c_str() + at + std::strlen("transfer_us="), nullptr) / 1e6;
    if (!ok) std::fprintf(stderr, "device report:\n%s\n", report.c_str());
    return ok;
  }

 private:
  std::string dir_, link_, report_;
  pid_t pid_ = -1;
};

Measure run_tool(const Setup& setup) {
  Device device(setup);
  kx::clear_registered_ports();
  kx::register_port("COM7", device.port());
  kx::EventQueue queue;
  kx::ScopedElementThread scoped(&queue);
  Measure m;
  {
    // The serial element's write calls each cost one frame of the adapter.
    kx::TKxComAsync::Opener opener;
    if (setup.usb)
      opener = [](const std::string& name, kx::serial::OpenError* why) {
        std::unique_ptr<kx::serial::Port> port = kx::serial::open_port(name, why);
        if (!port) return port;
        return std::unique_ptr<kx::serial::Port>(
            std::make_unique<kx::bench::CostlyWritesPort>(std::move(port), kUsbFrame));
      };
    kx::harness::DialogueHost host("COM7", std::move(opener));
    host.start();
    const double cpu0 = cpu_seconds();
    const double sys0 = sys_seconds();
    const auto t0 = Clock::now();
    host.choose_port();
    queue.run_until([&] { return host.route() == 1 || host.status.count() > 0; }, 5s);
    host.start_write();
    queue.run_until([&] { return host.success.count() + host.failure.count() > 0; }, 120s);
    m.wall = std::chrono::duration<double>(Clock::now() - t0).count();
    m.cpu = cpu_seconds() - cpu0;
    m.sys = sys_seconds() - sys0;
    m.ok = host.success.count() == 1 && host.failure.count() == 0;
    // "PUSK" leaves when the step that judged the final answer ends; the port stays open
    // until the device has taken it (closing purges what is unsent).
    queue.run_until([&] { return host.com.pending_bytes() == 0; }, 1s);
    m.write_calls = host.com.write_calls();
    m.ok = device.verdict(m.device) && m.ok;
  }
  return m;
}

std::array<std::uint16_t, 256> crc_table() {
  std::array<std::uint16_t, 256> t{};
  for (unsigned i = 0; i < 256; ++i) {
    unsigned r = i;
    for (int k = 0; k < 8; ++k) r = (r & 1) ? (r >> 1) ^ 0xA001u : r >> 1;
    t[i] = static_cast<std::uint16_t>(r);
  }
  return t;
}

// Reads exactly n bytes, or what came within the time-out.
std::string read_n(int fd, std::size_t n, std::chrono::milliseconds timeout) {
  std::string got;
  const auto end = Clock::now() + timeout;
  char buf[64];
  while (got.size() < n && Clock::now() < end) {
    pollfd p{fd, POLLIN, 0};
    poll(&p, 1, 100);
    ssize_t k = read(fd, buf, std::min(sizeof buf, n - got.size()));
    if (k > 0) got.append(buf, static_cast<std::size_t>(k));
  }
  return got;
}

Measure run_reference(const Setup& setup, const std::vector<std::uint8_t>& image) {
  Device device(setup);
  Measure m;
  int fd = open(device.port().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return m;
  termios t{};
  tcgetattr(fd, &t);
  cfmakeraw(&t);
  tcsetattr(fd, TCSANOW, &t);
  const auto table = crc_table();
  const double cpu0 = cpu_seconds();
  const double sys0 = sys_seconds();
  const auto t0 = Clock::now();
  const auto charge = [&] {
    if (setup.usb) std::this_thread::sleep_for(kUsbFrame);
    ++m.write_calls;
  };
  charge();
  bool ok = write(fd, "VERS", 4) == 4 && read_n(fd, kAnswer.size(), 5s) == kAnswer;
  if (!ok) std::fprintf(stderr, "reference: no identification\n");
  std::uint16_t crc = 0xFFFF;
  for (std::size_t at = 0; ok && at < image.size(); at += kBlock) {
    for (std::size_t i = at; i < at + kBlock; ++i)
      crc = static_cast<std::uint16_t>((crc >> 8) ^ table[(crc ^ image[i]) & 0xFF]);
    std::size_t sent = 0;
    charge();
    while (sent < kBlock) {
      ssize_t k = write(fd, image.data() + at + sent, kBlock - sent);
      if (k > 0) sent += static_cast<std::size_t>(k);
    }
    const bool last = at + kBlock == image.size();
    // The running CRC, high byte first; after the last block followed by "FZ".
    std::string expect;
    expect += static_cast<char>(crc >> 8);
    expect += static_cast<char>(crc & 0xFF);
    if (last) expect += "FZ";
    ok = read_n(fd, expect.size(), 5s) == expect;
    if (!ok) std::fprintf(stderr, "reference: block at %zu not acknowledged\n", at);
  }
  if (ok) charge();
  ok = ok && write(fd, "PUSK", 4) == 4;
  m.wall = std::chrono::duration<double>(Clock::now() - t0).count();
  m.cpu = cpu_seconds() - cpu0;
  m.sys = sys_seconds() - sys0;
  close(fd);
  m.ok = ok && device.verdict(m.device);
  return m;
}

}  // namespace

int main(int argc, char** argv) {
  Setup setup;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--paced") == 0) {
      setup.paced = true;
    } else if (std::strcmp(argv[i], "--usb") == 0) {
      setup.usb = true;
    } else if (std::strcmp(argv[i], "--reference") == 0) {
      setup.reference_only = true;
    } else {
      std::fprintf(stderr, "usage: transfer_bench [--paced] [--usb] [--reference]\n");
      return 2;
    }
  }
  const std::vector<std::uint8_t> image =
      kx::devsim::read_image(KX_IMAGE_FILE).value_or(std::vector<std::uint8_t>());
  if (image.size() != kImageSize) {
    std::fprintf(stderr, "image %s is %zu bytes, not %zu\n", KX_IMAGE_FILE, image.size(),
                 kImageSize);
    return 2;
  }
  kx::enable_pins();
  Measure tool;
  if (!setup.reference_only) tool = run_tool(setup);
  const Measure ref = run_reference(setup, image);
  std::printf("%s transfer of %zu bytes over a pseudo-terminal%s\n",
              setup.paced ? "paced" : "unpaced", kImageSize,
              setup.usb ? ", 1 ms per write call, answers on a 16 ms latency tick" : "");
  const auto row = [](const char* name, const Measure& m) {
    std::printf(
        "  %-10s wall %7.3f s  cpu %6.3f s (kernel %6.3f s)  device %7.3f s  %6zu write calls  "
        "%s\n",
        name, m.wall, m.cpu, m.sys, m.device, m.write_calls, m.ok ? "ok" : "FAILED");
  };
  if (!setup.reference_only) row("tool:", tool);
  row("reference:", ref);
  if (!setup.reference_only)
    std::printf("  ratio tool/reference: wall %.2f  cpu %.2f\n", tool.wall / ref.wall,
                ref.cpu > 0 ? tool.cpu / ref.cpu : 0.0);
  if (setup.paced) {
    // Bytes on the wire: "VERS", the answer, the image, a CRC answer to every block but the
    // last, the final answer, "PUSK"; ten bits each at 38462 baud.
    const double bytes = 4.0 + static_cast<double>(kAnswer.size()) + kImageSize +
                         static_cast<double>(kx::image_layout::kLastBlock) * 2 + 4 + 4;
    const double wire = bytes * 10 / 38462;
    std::printf("  wire time %.3f s", wire);
    if (!setup.reference_only) std::printf("; tool/wire %.4f", tool.wall / wire);
    std::printf(", reference/wire %.4f\n", ref.wall / wire);
  }
  return (setup.reference_only || tool.ok) && ref.ok ? 0 : 1;
}
