// The device's side of the serial protocol, played over a pseudo-terminal: answers the
// identification question, takes the image in blocks answering the running CRC, and
// waits for the start command. Faults can be injected to see how the tool copes.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "runtime/image_layout.hpp"

namespace kx::devsim {

enum class Fault {
  None,
  WrongCrc,     // block N is answered with a wrong CRC
  SwappedCrc,   // block N is answered low byte first
  SplitAnswer,  // the answer to block N comes in two writes with a pause between
  ShortAnswer,  // the answer to block N is the high byte only
  LongAnswer,   // the answer to block N has one byte too many
  Garbage,      // block N is answered with bytes that are no CRC at all
  EarlyFz,      // block N (not the last) is answered as if it were the last
  SilentVers,   // the identification question is never answered
  SilentBlock,  // from block N on nothing is answered
  SilentLast,   // the last block is not answered
  RepeatFinal,  // after the start command the final answer is sent once more
  Unsolicited,  // half-way through block N the device sends the CRC unasked
  OtherDevice,  // the identification answer names another device
  Unplug,       // the port disappears once block N has arrived (N < 0: after identification)
  Chatter,      // a line end follows the identification answer in a write of its own
  MissingFz,    // the last block (N) is answered with the CRC alone
};

// How the bytes of an answer reach the tool's side of the line.
enum class Delivery {
  Whole,   // in one run, once its last byte has crossed the wire
  Random,  // cut at random places, the pieces up to `max_gap` apart
  Fifo,    // a UART with a receive FIFO: runs of 14 bytes, the rest after 4 quiet characters
  Ftdi,    // a USB adapter with a latency timer: what has arrived leaves every 16 ms
};

std::optional<Delivery> delivery_from_name(std::string_view name);
const char* delivery_name(Delivery d);

std::optional<Fault> fault_from_name(std::string_view name);
const char* fault_name(Fault f);
std::vector<std::string> fault_names();

// The bytes of an image file; nullopt when it cannot be read.
std::optional<std::vector<std::uint8_t>> read_image(const std::string& path);

// One step of the CRC-16/MODBUS (reflected polynomial A001, initial value FFFF).
std::uint16_t crc16_step(std::uint16_t crc, std::uint8_t byte);

struct Options {
  Fault fault = Fault::None;
  int fault_block = 0;
  std::uint32_t baud = 0;  // pacing: 10 bits per byte in both directions; 0 = none
  // The image the tool should send; when empty, any `image_size` bytes are taken.
  std::vector<std::uint8_t> image;
  std::size_t image_size = image_layout::kSize;
  std::string version = "MAGNETOFLUX VKD7 9.0\r\n";
  std::string other_version = "GIGAWATT VKD7 9.0\r\n";
  std::chrono::milliseconds split_pause{100};
  // The identification answer comes in two writes, cut after this many bytes, `split_pause`
  // apart; 0: in one.
  std::size_t version_cut = 0;
  // A slow reader: once the final answer is sent, the device leaves the port unread this long.
  std::chrono::milliseconds final_read_pause{0};
  std::size_t block_size = image_layout::kBlockSize;
  Delivery delivery = Delivery::Whole;
  std::chrono::milliseconds max_gap{20};  // Random: the longest pause between two pieces
  std::uint32_t seed = 1;                 // Random: the cuts and pauses follow from it
};

struct Results {
  std::size_t vers_count = 0;
  std::size_t bytes_received = 0;  // image bytes, after identification
  std::size_t blocks_received = 0;
  std::size_t answers_sent = 0;
  bool image_matched = false;  // every byte equal to the expected image, none missing
  std::size_t pusk_count = 0;
  bool pusk_received = false;
  std::size_t unexpected_bytes = 0;  // anything after the final answer that is not "PUSK"
  bool unplugged = false;
  bool done = false;  // "PUSK" arrived, or the port was pulled
  // From the first image byte read to the first "PUSK" complete, on the device's clock; 0
  // until then. Measured the same way for any sender, for the benchmarks.
  std::chrono::microseconds transfer_time{0};
  // Wall-clock times (to compare with the tool's log): the last byte read from the tool and the
  // last byte of an answer written; none yet: the epoch.
  std::chrono::system_clock::time_point last_read{};
  std::chrono::system_clock::time_point last_answered{};
  // When the first "VERS" was complete (the benchmarks' start-up: process start to question).
  std::chrono::system_clock::time_point first_vers{};
  // While an answer was out and nothing came back for a second: the most bytes seen waiting
  // unread in the tool's input queue (an answer the tool has not read), and how often the
  // quiet was seen with an empty queue (an answer read but not acted on).
  std::size_t unread_when_quiet = 0;
  // The pieces of the last answer: sizes and the pauses between them ("1 +12ms 1").
  std::string last_answer_pieces;
  std::size_t quiet_with_empty_queue = 0;
  std::uint16_t crc = 0xFFFF;
  // For each block after the first: from the last byte of the answer to the block before it
  // written to the first byte of the block read, on the device's clock (the sender's turn).
  std::vector<std::chrono::microseconds> turnarounds;
};

class Simulator {
 public:
  explicit Simulator(Options options);
  ~Simulator();
  Simulator(const Simulator&) = delete;
  Simulator& operator=(const Simulator&) = delete;

  // Opens the pseudo-terminal and starts the device thread.
  bool start();
  // The path of the terminal the tool opens.
  const std::string& port_path() const { return slave_path_; }
  // Ends the device thread (idempotent).
  void stop();
  bool wait_done(std::chrono::milliseconds timeout);
  Results results() const;
  // When each piece of an answer reaches the tool, for an answer whose first byte starts
  // crossing the wire at `start` (device thread, or before start()/after stop()).
  std::vector<std::pair<std::chrono::steady_clock::time_point, std::string>> pieces(
      const std::string& bytes, std::chrono::steady_clock::time_point start);

 private:
  void run();
  void handle(std::uint8_t byte);
  void note_quiet();
  void start_bytes(std::uint8_t byte);
  void image_byte(std::uint8_t byte);
  void block_done(std::size_t block);
  void final_byte(std::uint8_t byte);
  void answer(const std::string& bytes);
  void send(const std::string& bytes);
  void final_answer();
  bool pause(std::chrono::nanoseconds d);  // false when stopped meanwhile
  void unplug();
  std::size_t expected_size() const;
  std::chrono::nanoseconds wire_time(std::size_t bytes) const;

  enum class State { Start, Transfer, Silent, Final, Gone };

  Options options_;
  int master_ = -1;
  int slave_ = -1;  // held open so the terminal survives the tool closing and reopening it
  int stop_fd_ = -1;
  std::string slave_path_;
  std::thread thread_;

  // Device thread only.
  State state_ = State::Start;
  std::string pending_;
  std::string final_answer_;
  std::vector<std::uint8_t> received_;
  std::chrono::steady_clock::time_point wire_clock_{};
  std::chrono::steady_clock::time_point epoch_{};  // the latency timer's grid starts here
  std::mt19937 random_;
  bool final_read_paused_ = false;
  std::chrono::steady_clock::time_point first_image_byte_{};
  std::chrono::steady_clock::time_point answered_{};  // the last answer's last byte written

  mutable std::mutex mutex_;
  std::condition_variable cv_;
  Results results_;
};

}  // namespace kx::devsim
