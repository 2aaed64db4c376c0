#include "tools/devsim/simulator.hpp"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <utility>

namespace kx::devsim {

namespace {

struct FaultName {
  Fault fault;
  const char* name;
};

constexpr std::array<FaultName, 17> kFaultNames = {{
    {Fault::None, "none"},
    {Fault::WrongCrc, "wrong-crc"},
    {Fault::SwappedCrc, "swapped-crc"},
    {Fault::SplitAnswer, "split"},
    {Fault::ShortAnswer, "short"},
    {Fault::LongAnswer, "long"},
    {Fault::Garbage, "garbage"},
    {Fault::EarlyFz, "early-fz"},
    {Fault::SilentVers, "silent-vers"},
    {Fault::SilentBlock, "silent-block"},
    {Fault::SilentLast, "silent-last"},
    {Fault::RepeatFinal, "repeat-final"},
    {Fault::Unsolicited, "unsolicited"},
    {Fault::OtherDevice, "other-device"},
    {Fault::Unplug, "unplug"},
    {Fault::Chatter, "chatter"},
    {Fault::MissingFz, "no-fz"},
}};

struct DeliveryName {
  Delivery delivery;
  const char* name;
};

constexpr std::array<DeliveryName, 4> kDeliveryNames = {{
    {Delivery::Whole, "whole"},
    {Delivery::Random, "random"},
    {Delivery::Fifo, "fifo"},
    {Delivery::Ftdi, "ftdi"},
}};

// The line rate behind the delivery models when the device itself is not paced.
constexpr std::uint32_t kNominalBaud = 38462;
constexpr std::size_t kFifoTrigger = 14;
constexpr int kFifoQuietCharacters = 4;
constexpr std::chrono::milliseconds kLatencyTick{16};

const std::string kQuestion = "VERS";
const std::string kStart = "PUSK";

std::string crc_bytes(std::uint16_t crc) {
  return {static_cast<char>(crc >> 8), static_cast<char>(crc & 0xFF)};
}

}  // namespace

std::optional<Delivery> delivery_from_name(std::string_view name) {
  for (const DeliveryName& d : kDeliveryNames)
    if (name == d.name) return d.delivery;
  return std::nullopt;
}

const char* delivery_name(Delivery delivery) {
  for (const DeliveryName& d : kDeliveryNames)
    if (d.delivery == delivery) return d.name;
  return "?";
}

std::optional<Fault> fault_from_name(std::string_view name) {
  for (const FaultName& f : kFaultNames)
    if (name == f.name) return f.fault;
  return std::nullopt;
}

const char* fault_name(Fault fault) {
  for (const FaultName& f : kFaultNames)
    if (f.fault == fault) return f.name;
  return "?";
}

std::vector<std::string> fault_names() {
  std::vector<std::string> names;
  for (const FaultName& f : kFaultNames) names.emplace_back(f.name);
  return names;
}

std::optional<std::vector<std::uint8_t>> read_image(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in),
                                   std::istreambuf_iterator<char>());
}

std::uint16_t crc16_step(std::uint16_t crc, std::uint8_t byte) {
  crc = static_cast<std::uint16_t>(crc ^ byte);
  for (int i = 0; i < 8; ++i)
    crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001)
                    : static_cast<std::uint16_t>(crc >> 1);
  return crc;
}

Simulator::Simulator(Options options) : options_(std::move(options)), random_(options_.seed) {
  if (options_.block_size == 0) options_.block_size = image_layout::kBlockSize;
}

Simulator::~Simulator() {
  stop();
  if (master_ >= 0) ::close(master_);
  if (slave_ >= 0) ::close(slave_);
  if (stop_fd_ >= 0) ::close(stop_fd_);
}

bool Simulator::start() {
  if (thread_.joinable() || master_ >= 0) return false;
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0) return false;
  char name[128];
  if (grantpt(master_) != 0 || unlockpt(master_) != 0 || ptsname_r(master_, name, sizeof name) != 0)
    return false;
  slave_path_ = name;
  slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slave_ < 0) return false;
  // Raw from the start: nothing the tool sends is echoed or translated, even before it sets
  // the line up itself.
  termios t{};
  if (tcgetattr(slave_, &t) != 0) return false;
  cfmakeraw(&t);
  if (tcsetattr(slave_, TCSANOW, &t) != 0) return false;
  stop_fd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (stop_fd_ < 0) return false;
  epoch_ = std::chrono::steady_clock::now();
  thread_ = std::thread(&Simulator::run, this);
  return true;
}

void Simulator::stop() {
  if (stop_fd_ >= 0) {
    const std::uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(stop_fd_, &one, sizeof one);
  }
  if (thread_.joinable()) thread_.join();
}

bool Simulator::wait_done(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(mutex_);
  return cv_.wait_for(lock, timeout, [this] { return results_.done; });
}

Results Simulator::results() const {
  std::lock_guard<std::mutex> lock(mutex_);
  Results r = results_;
  r.image_matched = !options_.image.empty() && received_ == options_.image;
  return r;
}

std::size_t Simulator::expected_size() const {
  return options_.image.empty() ? options_.image_size : options_.image.size();
}

std::chrono::nanoseconds Simulator::wire_time(std::size_t bytes) const {
  if (options_.baud == 0) return std::chrono::nanoseconds(0);
  return std::chrono::nanoseconds(static_cast<std::int64_t>(bytes) * 10 * 1000000000LL /
                                  options_.baud);
}

// Sleeps to the nanosecond (a pacing that rounds every pause up to the next millisecond would
// add a millisecond to every answer), unless stopped.
bool Simulator::pause(std::chrono::nanoseconds d) {
  const auto until = std::chrono::steady_clock::now() + d;
  for (;;) {
    const auto now = std::chrono::steady_clock::now();
    const auto left = now >= until ? std::chrono::nanoseconds(0) : until - now;
    const timespec t{static_cast<time_t>(left.count() / 1000000000),
                     static_cast<long>(left.count() % 1000000000)};
    pollfd p{stop_fd_, POLLIN, 0};
    const int r = ppoll(&p, 1, &t, nullptr);
    if (r > 0) return false;
    if (std::chrono::steady_clock::now() >= until) return true;
  }
}

void Simulator::run() {
  std::array<std::uint8_t, 4096> buf{};
  while (state_ != State::Gone) {
    pollfd fds[2] = {{master_, POLLIN, 0}, {stop_fd_, POLLIN, 0}};
    const int r = poll(fds, 2, 1000);
    if (r < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (r == 0) {
      note_quiet();
      continue;
    }
    if (fds[1].revents) break;
    if (fds[0].revents & POLLIN) {
      const ssize_t n = ::read(master_, buf.data(), buf.size());
      if (n <= 0) {
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        break;
      }
      const auto now = std::chrono::steady_clock::now();
      if (wire_clock_ < now) wire_clock_ = now;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        results_.last_read = std::chrono::system_clock::now();
      }
      for (ssize_t i = 0; i < n && state_ != State::Gone; ++i) {
        wire_clock_ += wire_time(1);
        handle(buf[static_cast<std::size_t>(i)]);
      }
      if (state_ == State::Final && !final_read_paused_ && options_.final_read_pause.count() > 0) {
        final_read_paused_ = true;
        if (!pause(options_.final_read_pause)) break;
      }
    } else if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) {
      break;
    }
  }
}

// A second without a byte from the tool while it owes the next block: is the last answer still
// waiting in the tool's input queue (the slave side of the terminal, held open here)?
void Simulator::note_quiet() {
  if (state_ != State::Transfer || slave_ < 0) return;
  int waiting = 0;
  if (::ioctl(slave_, FIONREAD, &waiting) != 0) return;
  std::lock_guard<std::mutex> lock(mutex_);
  if (results_.answers_sent == 0) return;
  if (waiting > 0)
    results_.unread_when_quiet =
        std::max(results_.unread_when_quiet, static_cast<std::size_t>(waiting));
  else
    ++results_.quiet_with_empty_queue;
}

void Simulator::handle(std::uint8_t byte) {
  switch (state_) {
    case State::Start:
      start_bytes(byte);
      break;
    case State::Transfer:
    case State::Silent:
      image_byte(byte);
      break;
    case State::Final:
      final_byte(byte);
      break;
    case State::Gone:
      break;
  }
}

// Before the first image byte the device listens for the question. Bytes that cannot be the
// start of it are the image beginning.
void Simulator::start_bytes(std::uint8_t byte) {
  pending_.push_back(static_cast<char>(byte));
  if (pending_ == kQuestion) {
    pending_.clear();
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ++results_.vers_count;
    }
    if (options_.fault == Fault::SilentVers) return;
    const std::string& text =
        options_.fault == Fault::OtherDevice ? options_.other_version : options_.version;
    if (options_.version_cut > 0 && options_.version_cut < text.size()) {
      answer(text.substr(0, options_.version_cut));
      if (!pause(options_.split_pause)) return;
      answer(text.substr(options_.version_cut));
    } else {
      answer(text);
    }
    if (options_.fault == Fault::Chatter && pause(options_.split_pause)) send("\r\n");
    if (options_.fault == Fault::Unplug && options_.fault_block < 0 && pause(options_.split_pause))
      unplug();
    return;
  }
  if (kQuestion.compare(0, pending_.size(), pending_) == 0) return;
  std::string bytes = std::move(pending_);
  pending_.clear();
  state_ = State::Transfer;
  for (char c : bytes) {
    if (state_ != State::Transfer && state_ != State::Silent) {
      handle(static_cast<std::uint8_t>(c));
      continue;
    }
    image_byte(static_cast<std::uint8_t>(c));
  }
}

void Simulator::image_byte(std::uint8_t byte) {
  std::size_t count = 0;
  std::uint16_t crc = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    received_.push_back(byte);
    results_.crc = crc16_step(results_.crc, byte);
    count = ++results_.bytes_received;
    crc = results_.crc;
  }
  if (count == 1) first_image_byte_ = std::chrono::steady_clock::now();
  const std::size_t bs = options_.block_size;
  const std::size_t block = (count - 1) / bs;
  if (options_.fault == Fault::Unsolicited && static_cast<int>(block) == options_.fault_block &&
      count % bs == bs / 2 && state_ == State::Transfer)
    answer(crc_bytes(crc));
  if (count % bs == 0) block_done(block);
}

void Simulator::block_done(std::size_t block) {
  std::uint16_t crc = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ++results_.blocks_received;
    crc = results_.crc;
  }
  if (state_ == State::Silent) return;
  const bool last = (block + 1) * options_.block_size >= expected_size();
  const bool here = static_cast<int>(block) == options_.fault_block;
  const std::string fz = "FZ";
  std::string normal = crc_bytes(crc);
  if (last) normal += fz;
  final_answer_ = crc_bytes(crc) + fz;

  switch (here ? options_.fault : Fault::None) {
    case Fault::Unplug:
      unplug();
      return;
    case Fault::SilentBlock:
      state_ = State::Silent;
      return;
    case Fault::EarlyFz:
      answer(final_answer_);
      state_ = State::Final;
      pending_.clear();
      return;
    case Fault::WrongCrc: {
      std::string wrong = crc_bytes(static_cast<std::uint16_t>(crc ^ 0x5AA5));
      if (last) wrong += fz;
      answer(wrong);
      break;
    }
    case Fault::SwappedCrc: {
      std::string swapped = {normal[1], normal[0]};
      if (last) swapped += fz;
      answer(swapped);
      break;
    }
    case Fault::SplitAnswer:
      answer(normal.substr(0, 1));
      if (!pause(options_.split_pause)) return;
      answer(normal.substr(1));
      break;
    case Fault::ShortAnswer:
      answer(normal.substr(0, 1));
      break;
    case Fault::MissingFz:
      answer(crc_bytes(crc));
      break;
    case Fault::LongAnswer:
      answer(normal + '\r');
      break;
    case Fault::Garbage:
      answer("\x55\xAA\x13");
      break;
    default:
      if (last && options_.fault == Fault::SilentLast) {
        state_ = State::Silent;
        return;
      }
      answer(normal);
      break;
  }
  if (last) {
    state_ = State::Final;
    pending_.clear();
  }
}

void Simulator::final_byte(std::uint8_t byte) {
  pending_.push_back(static_cast<char>(byte));
  if (kStart.compare(0, pending_.size(), pending_) != 0) {
    std::lock_guard<std::mutex> lock(mutex_);
    results_.unexpected_bytes += pending_.size();
    pending_.clear();
    return;
  }
  if (pending_.size() < kStart.size()) return;
  pending_.clear();
  bool first = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    first = results_.pusk_count == 0;
    ++results_.pusk_count;
    if (first && results_.bytes_received > 0)
      results_.transfer_time = std::chrono::duration_cast<std::chrono::microseconds>(
          std::chrono::steady_clock::now() - first_image_byte_);
    results_.pusk_received = true;
  }
  if (first && options_.fault == Fault::RepeatFinal) answer(final_answer_);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    results_.done = true;
  }
  cv_.notify_all();
}

// An answer leaves once the bytes it answers have crossed the wire, and takes its own wire
// time; how its bytes reach the tool depends on the delivery.
void Simulator::answer(const std::string& bytes) {
  const auto now = std::chrono::steady_clock::now();
  if (wire_clock_ < now) wire_clock_ = now;
  const auto start = wire_clock_;
  wire_clock_ += wire_time(bytes.size());
  std::string cuts;
  auto previous = start;
  for (auto& [when, piece] : pieces(bytes, start)) {
    if (!pause(when - std::chrono::steady_clock::now())) return;
    send(piece);
    if (!cuts.empty()) {
      const auto gap = std::chrono::duration_cast<std::chrono::milliseconds>(when - previous);
      cuts += " +" + std::to_string(gap.count()) + "ms ";
    }
    cuts += std::to_string(piece.size());
    previous = when;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  ++results_.answers_sent;
  results_.last_answered = std::chrono::system_clock::now();
  results_.last_answer_pieces = std::move(cuts);
}

std::vector<std::pair<std::chrono::steady_clock::time_point, std::string>> Simulator::pieces(
    const std::string& bytes, std::chrono::steady_clock::time_point start) {
  using std::chrono::nanoseconds;
  std::vector<std::pair<std::chrono::steady_clock::time_point, std::string>> out;
  if (bytes.empty()) return out;
  const std::size_t n = bytes.size();
  // Arrival of byte i at the receiving end: paced, on the device's own clock; unpaced, the
  // UART and adapter models still see the bytes come one character time apart.
  const nanoseconds paced = wire_time(1);
  const nanoseconds character =
      options_.baud != 0 ? paced : nanoseconds(10 * 1000000000LL / kNominalBaud);
  const auto arrival = [&](std::size_t i, nanoseconds per_byte) {
    return start + per_byte * static_cast<std::int64_t>(i + 1);
  };
  switch (options_.delivery) {
    case Delivery::Whole:
      out.emplace_back(arrival(n - 1, paced), bytes);
      break;
    case Delivery::Random: {
      std::bernoulli_distribution cut(0.5);
      const auto gap_ns = std::chrono::duration_cast<nanoseconds>(options_.max_gap).count();
      std::uniform_int_distribution<std::int64_t> gap(0, gap_ns);
      std::size_t from = 0;
      auto when = start;
      for (std::size_t i = 0; i < n; ++i) {
        if (i + 1 < n && !cut(random_)) continue;
        const auto ready = arrival(i, paced);
        when = out.empty() ? ready : std::max(ready, when + nanoseconds(gap(random_)));
        out.emplace_back(when, bytes.substr(from, i + 1 - from));
        from = i + 1;
      }
      break;
    }
    case Delivery::Fifo:
      for (std::size_t from = 0; from < n; from += kFifoTrigger) {
        const std::size_t len = std::min(kFifoTrigger, n - from);
        auto when = arrival(from + len - 1, character);
        if (len < kFifoTrigger) when += character * kFifoQuietCharacters;
        out.emplace_back(when, bytes.substr(from, len));
      }
      break;
    case Delivery::Ftdi: {
      std::size_t from = 0;
      while (from < n) {
        // The next tick of the latency timer after byte `from` has arrived takes every byte
        // that has arrived by then.
        const auto first = arrival(from, character);
        const auto ticks = (first - epoch_) / kLatencyTick + 1;
        const auto tick = epoch_ + kLatencyTick * ticks;
        std::size_t to = from + 1;
        while (to < n && arrival(to, character) <= tick) ++to;
        out.emplace_back(tick, bytes.substr(from, to - from));
        from = to;
      }
      break;
    }
  }
  return out;
}

void Simulator::send(const std::string& bytes) {
  std::size_t off = 0;
  while (off < bytes.size() && master_ >= 0) {
    const ssize_t n = ::write(master_, bytes.data() + off, bytes.size() - off);
    if (n < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      return;
    }
    off += static_cast<std::size_t>(n);
  }
}

// The port is pulled: both sides of the terminal go away, the tool's handle hangs up.
void Simulator::unplug() {
  ::close(master_);
  master_ = -1;
  ::close(slave_);
  slave_ = -1;
  state_ = State::Gone;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    results_.unplugged = true;
    results_.done = true;
  }
  cv_.notify_all();
}

}  // namespace kx::devsim
