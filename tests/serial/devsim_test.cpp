// The device simulator: the normal exchange, each fault it can inject, the delivery models,
// pacing and the command line.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "elements/serial/com_async.hpp"
#include "elements/serial/port_table.hpp"
#include "runtime/element_thread.hpp"
#include "tests/serial/devsim_testing.hpp"
#include "tests/serial/pty_peer.hpp"
#include "tools/devsim/simulator.hpp"

namespace kx {
namespace {

using namespace std::chrono_literals;
using devsim::Delivery;
using devsim::Fault;
using devsim::Options;
using devsim::Simulator;
using Clock = std::chrono::steady_clock;
using devsim_testing::crc_of;
using devsim_testing::crc_text;
using devsim_testing::kBlock;
using devsim_testing::kBlocks;

// The tool's side, raw: a terminal opened on the simulator's port.
class Client {
 public:
  explicit Client(const std::string& path) {
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios t{};
    if (fd_ >= 0 && tcgetattr(fd_, &t) == 0) {
      cfmakeraw(&t);
      tcsetattr(fd_, TCSANOW, &t);
    }
  }
  ~Client() {
    if (fd_ >= 0) ::close(fd_);
  }
  bool ok() const { return fd_ >= 0; }
  void send(const std::string& s) {
    ASSERT_EQ(::write(fd_, s.data(), s.size()), static_cast<ssize_t>(s.size()));
  }
  void send(const std::vector<std::uint8_t>& image, std::size_t from, std::size_t n) {
    send(std::string(reinterpret_cast<const char*>(image.data()) + from, n));
  }
  // One answer: the bytes that arrive until the line is quiet for `quiet`.
  std::string answer(std::chrono::milliseconds first = 2000ms,
                     std::chrono::milliseconds quiet = 30ms) {
    std::string out;
    auto wait = first;
    for (;;) {
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, static_cast<int>(wait.count())) <= 0) return out;
      if (!(p.revents & POLLIN)) return out;
      char buf[256];
      const ssize_t n = ::read(fd_, buf, sizeof buf);
      if (n <= 0) return out;
      out.append(buf, static_cast<std::size_t>(n));
      wait = quiet;
    }
  }
  bool hung_up(std::chrono::milliseconds timeout) {
    pollfd p{fd_, POLLIN, 0};
    return poll(&p, 1, static_cast<int>(timeout.count())) > 0 && (p.revents & POLLHUP);
  }

 private:
  int fd_ = -1;
};

class DevsimTest : public ::testing::Test {
 protected:
  Options options(Fault f = Fault::None, int block = 0) {
    Options o;
    o.fault = f;
    o.fault_block = block;
    o.image = image;
    return o;
  }
  // Identification, then blocks [0, upto) each followed by reading its answer.
  std::vector<std::string> run_blocks(Simulator& sim, Client& c, std::size_t upto) {
    c.send("VERS");
    EXPECT_EQ(c.answer(), "MAGNETOFLUX VKD7 9.0\r\n");
    std::vector<std::string> answers;
    for (std::size_t b = 0; b < upto; ++b) {
      c.send(image, b * kBlock, kBlock);
      answers.push_back(c.answer(800ms));
    }
    (void)sim;
    return answers;
  }
  std::string good(std::size_t block) const {
    return crc_text(crc_of(image, (block + 1) * kBlock));
  }

  std::vector<std::uint8_t> image = test::test_image(kBlocks * kBlock, 7);
};

TEST_F(DevsimTest, NormalTransfer) {
  Simulator sim(options());
  ASSERT_TRUE(sim.start());
  Client c(sim.port_path());
  ASSERT_TRUE(c.ok());
  auto answers = run_blocks(sim, c, kBlocks);
  ASSERT_EQ(answers.size(), kBlocks);
  for (std::size_t b = 0; b + 1 < kBlocks; ++b) EXPECT_EQ(answers[b], good(b)) << b;
  EXPECT_EQ(answers.back(), good(kBlocks - 1) + "FZ");
  c.send("PUSK");
  ASSERT_TRUE(sim.wait_done(2s));
  const auto r = sim.results();
  EXPECT_EQ(r.vers_count, 1u);
  EXPECT_EQ(r.bytes_received, kBlocks * kBlock);
  EXPECT_EQ(r.blocks_received, kBlocks);
  EXPECT_EQ(r.answers_sent, kBlocks + 1);
  EXPECT_TRUE(r.image_matched);
  EXPECT_TRUE(r.pusk_received);
  EXPECT_EQ(r.unexpected_bytes, 0u);
  // The device's CRC is the published CRC-16/MODBUS: "123456789" gives 4B37.
  std::uint16_t check = 0xFFFF;
  for (char ch : std::string("123456789"))
    check = devsim::crc16_step(check, static_cast<std::uint8_t>(ch));
  EXPECT_EQ(check, 0x4B37);
}

TEST_F(DevsimTest, ImageDifferenceAndStrayBytesAreReported) {
  Simulator sim(options());
  ASSERT_TRUE(sim.start());
  Client c(sim.port_path());
  c.send("VERS");
  EXPECT_FALSE(c.answer().empty());
  auto wrong = image;
  wrong[300] ^= 1;
  for (std::size_t b = 0; b < kBlocks; ++b) {
    c.send(wrong, b * kBlock, kBlock);
    c.answer(800ms);
  }
  c.send("PUSX");
  c.send("PUSK");
  ASSERT_TRUE(sim.wait_done(2s));
  const auto r = sim.results();
  EXPECT_EQ(r.bytes_received, kBlocks * kBlock);
  EXPECT_FALSE(r.image_matched);
  EXPECT_TRUE(r.pusk_received);
  EXPECT_EQ(r.unexpected_bytes, 4u);
}

TEST_F(DevsimTest, AnswerFaultsAtTheChosenBlock) {
  struct Case {
    Fault fault;
    std::function<std::string(const std::string& crc)> expected;
  };
  const std::vector<Case> cases = {
      {Fault::WrongCrc,
       [](const std::string& crc) {
         return std::string{static_cast<char>(crc[0] ^ 0x5A), static_cast<char>(crc[1] ^ 0xA5)};
       }},
      {Fault::SwappedCrc,
       [](const std::string& crc) {
         return std::string{crc[1], crc[0]};
       }},
      {Fault::ShortAnswer, [](const std::string& crc) { return crc.substr(0, 1); }},
      {Fault::LongAnswer, [](const std::string& crc) { return crc + "\r"; }},
      {Fault::Garbage, [](const std::string&) { return std::string("\x55\xAA\x13"); }},
      {Fault::EarlyFz, [](const std::string& crc) { return crc + "FZ"; }},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(devsim::fault_name(k.fault));
    Simulator sim(options(k.fault, 1));
    ASSERT_TRUE(sim.start());
    Client c(sim.port_path());
    auto answers = run_blocks(sim, c, 2);
    EXPECT_EQ(answers[0], good(0));  // only block 1 is hit
    EXPECT_EQ(answers[1], k.expected(good(1)));
  }
}

TEST_F(DevsimTest, EarlyFinalAnswerThenStartCommandEndsTheRun) {
  Simulator sim(options(Fault::EarlyFz, 1));
  ASSERT_TRUE(sim.start());
  Client c(sim.port_path());
  run_blocks(sim, c, 2);
  c.send("PUSK");
  ASSERT_TRUE(sim.wait_done(2s));
  EXPECT_EQ(sim.results().bytes_received, 2 * kBlock);
  EXPECT_TRUE(sim.results().pusk_received);
  EXPECT_FALSE(sim.results().image_matched);
}

TEST_F(DevsimTest, SplitAnswerComesInTwoPieces) {
  Simulator sim(options(Fault::SplitAnswer, 0));
  ASSERT_TRUE(sim.start());
  Client c(sim.port_path());
  c.send("VERS");
  c.answer();
  c.send(image, 0, kBlock);
  const std::string first = c.answer(800ms, 20ms);  // the pause is longer than 20 ms
  const std::string second = c.answer(800ms, 20ms);
  EXPECT_EQ(first, good(0).substr(0, 1));
  EXPECT_EQ(second, good(0).substr(1));
}

// The delivery models: what they hand on adds up to the answer, cut as the link cuts it.
TEST_F(DevsimTest, DeliveriesCutAnswersAsTheirLinksDo) {
  const std::string id = "MAGNETOFLUX VKD7 9.0\r\n";
  std::string long_text;
  for (int i = 0; i < 400; ++i) long_text.push_back(static_cast<char>(i));
  const auto joined = [](const auto& pieces) {
    std::string all;
    for (const auto& p : pieces) all += p.second;
    return all;
  };
  const auto character = std::chrono::nanoseconds(10 * 1000000000LL / 38462);
  {
    Options o = options(Fault::None);
    o.delivery = Delivery::Fifo;
    Simulator sim(o);
    const auto t0 = Clock::now();
    const auto p = sim.pieces(id, t0);
    ASSERT_EQ(p.size(), 2u);  // the trigger level, then the rest after the quiet time
    EXPECT_EQ(p[0].second.size(), 14u);
    EXPECT_EQ(joined(p), id);
    EXPECT_EQ(p[0].first - t0, character * 14);
    EXPECT_EQ(p[1].first - t0, character * (22 + 4));
    EXPECT_EQ(sim.pieces("\x12\x34", t0).size(), 1u);
  }
  {
    Options o = options(Fault::None);
    o.delivery = Delivery::Ftdi;
    Simulator sim(o);
    ASSERT_TRUE(sim.start());
    const auto t0 = Clock::now();
    const auto p = sim.pieces(long_text, t0);
    EXPECT_EQ(joined(p), long_text);
    ASSERT_GE(p.size(), 6u);  // 104 ms of bytes, one piece per 16 ms tick
    EXPECT_LE(p[0].first - t0, std::chrono::milliseconds(16) + character);
    for (std::size_t i = 1; i < p.size(); ++i) {
      EXPECT_EQ((p[i].first - p[i - 1].first) % std::chrono::milliseconds(16),
                std::chrono::nanoseconds(0));
      EXPECT_LE(p[i].second.size(), 62u);
    }
  }
  {
    Options o = options(Fault::None);
    o.delivery = Delivery::Random;
    o.max_gap = std::chrono::milliseconds(20);
    o.seed = 7;
    Simulator a(o), b(o);
    const auto t0 = Clock::now();
    const auto pa = a.pieces(long_text, t0);
    const auto pb = b.pieces(long_text, t0);
    EXPECT_EQ(joined(pa), long_text);
    EXPECT_GT(pa.size(), 100u);
    ASSERT_EQ(pa.size(), pb.size());  // the same seed cuts alike
    for (std::size_t i = 0; i < pa.size(); ++i) {
      EXPECT_EQ(pa[i], pb[i]);
      if (i > 0) {
        EXPECT_LE(pa[i].first - pa[i - 1].first, std::chrono::milliseconds(20));
      }
    }
  }
  {
    Simulator sim(options(Fault::None));
    EXPECT_EQ(sim.pieces(id, Clock::now()).size(), 1u);
  }
}

TEST_F(DevsimTest, SilenceFaults) {
  {
    Simulator sim(options(Fault::SilentVers));
    ASSERT_TRUE(sim.start());
    Client c(sim.port_path());
    c.send("VERS");
    EXPECT_EQ(c.answer(300ms), "");
    EXPECT_EQ(sim.results().vers_count, 1u);
  }
  {
    Simulator sim(options(Fault::SilentBlock, 1));
    ASSERT_TRUE(sim.start());
    Client c(sim.port_path());
    auto answers = run_blocks(sim, c, 3);
    EXPECT_EQ(answers, (std::vector<std::string>{good(0), "", ""}));
    EXPECT_EQ(sim.results().blocks_received, 3u);
  }
  {
    Simulator sim(options(Fault::SilentLast));
    ASSERT_TRUE(sim.start());
    Client c(sim.port_path());
    auto answers = run_blocks(sim, c, kBlocks);
    EXPECT_EQ(answers[kBlocks - 2], good(kBlocks - 2));
    EXPECT_EQ(answers[kBlocks - 1], "");
    EXPECT_TRUE(sim.results().image_matched);
    EXPECT_FALSE(sim.results().pusk_received);
  }
}

TEST_F(DevsimTest, RepeatedFinalAnswerAfterStartCommand) {
  Simulator sim(options(Fault::RepeatFinal));
  ASSERT_TRUE(sim.start());
  Client c(sim.port_path());
  auto answers = run_blocks(sim, c, kBlocks);
  c.send("PUSK");
  EXPECT_EQ(c.answer(), answers.back());
  c.send("PUSK");
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(sim.results().pusk_count, 2u);
}

TEST_F(DevsimTest, UnsolicitedBytesMidBlock) {
  Simulator sim(options(Fault::Unsolicited, 1));
  ASSERT_TRUE(sim.start());
  Client c(sim.port_path());
  run_blocks(sim, c, 1);
  c.send(image, kBlock, kBlock / 2);  // half of block 1: the device speaks already
  EXPECT_EQ(c.answer(800ms), crc_text(crc_of(image, kBlock + kBlock / 2)));
}

TEST_F(DevsimTest, OtherDeviceAnswersWithAnotherWord) {
  Simulator sim(options(Fault::OtherDevice));
  ASSERT_TRUE(sim.start());
  Client c(sim.port_path());
  c.send("VERS");
  const std::string a = c.answer();
  EXPECT_FALSE(a.empty());
  EXPECT_NE(a.substr(0, 12), "MAGNETOFLUX ");
}

TEST_F(DevsimTest, UnplugHangsUpTheLine) {
  Simulator sim(options(Fault::Unplug, 1));
  ASSERT_TRUE(sim.start());
  Client c(sim.port_path());
  run_blocks(sim, c, 1);
  c.send(image, kBlock, kBlock);
  EXPECT_TRUE(c.hung_up(2s));
  ASSERT_TRUE(sim.wait_done(1s));
  EXPECT_TRUE(sim.results().unplugged);
  EXPECT_EQ(sim.results().blocks_received, 2u);
}

TEST_F(DevsimTest, PacingTakesTheWireTime) {
  Options o = options();
  o.baud = 9600;  // a block and its answer: 258 bytes of 10 bits, about 269 ms
  Simulator sim(o);
  ASSERT_TRUE(sim.start());
  Client c(sim.port_path());
  c.send("VERS");
  c.answer();
  const auto start = Clock::now();
  c.send(image, 0, kBlock);
  EXPECT_EQ(c.answer(), good(0));
  const auto took = Clock::now() - start;
  EXPECT_GE(took, 250ms);
  EXPECT_LT(took, 1000ms);
}

TEST_F(DevsimTest, FaultNamesRoundTrip) {
  const auto names = devsim::fault_names();
  EXPECT_EQ(names.size(), 17u);
  for (const std::string& n : names) {
    auto f = devsim::fault_from_name(n);
    ASSERT_TRUE(f.has_value()) << n;
    EXPECT_EQ(devsim::fault_name(*f), n);
  }
  EXPECT_FALSE(devsim::fault_from_name("no-such-fault").has_value());
}

std::map<std::string, std::string> read_report(const std::string& path) {
  std::map<std::string, std::string> kv;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    auto eq = line.find('=');
    if (eq != std::string::npos) kv[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return kv;
}

TEST_F(DevsimTest, CommandLineLinksServesAndReports) {
  char dir_template[] = "/tmp/devsim-test-XXXXXX";
  ASSERT_NE(mkdtemp(dir_template), nullptr);
  const std::string dir = dir_template;
  const std::string link = dir + "/port", report = dir + "/report.txt", img = dir + "/image.bin";
  {
    std::ofstream out(img, std::ios::binary);
    out.write(reinterpret_cast<const char*>(image.data()),
              static_cast<std::streamsize>(image.size()));
  }
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    const int null = ::open("/dev/null", O_WRONLY);
    dup2(null, 1);
    execl(KX_DEVSIM_PATH, "devsim", "--link", link.c_str(), "--image", img.c_str(), "--report",
          report.c_str(), "--linger", "5000", static_cast<char*>(nullptr));
    _exit(127);
  }
  struct stat st {};
  for (int i = 0; i < 200 && lstat(link.c_str(), &st) != 0; ++i) std::this_thread::sleep_for(10ms);
  ASSERT_EQ(lstat(link.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  {
    Client c(link);
    ASSERT_TRUE(c.ok());
    c.send("VERS");
    EXPECT_EQ(c.answer(), "MAGNETOFLUX VKD7 9.0\r\n");
    for (std::size_t b = 0; b < kBlocks; ++b) {
      c.send(image, b * kBlock, kBlock);
      c.answer(800ms);
    }
    c.send("PUSK");
    std::this_thread::sleep_for(100ms);
  }
  kill(pid, SIGTERM);  // during the linger: the report is written all the same
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_NE(lstat(link.c_str(), &st), 0);  // the link is gone
  auto kv = read_report(report);
  EXPECT_EQ(kv["bytes_received"], std::to_string(kBlocks * kBlock));
  EXPECT_EQ(kv["image_checked"], "1");
  EXPECT_EQ(kv["image_matched"], "1");
  EXPECT_EQ(kv["pusk_received"], "1");
  EXPECT_EQ(kv["vers_count"], "1");
  ::unlink(report.c_str());
  ::unlink(img.c_str());
  ::rmdir(dir.c_str());
}

}  // namespace
}  // namespace kx
