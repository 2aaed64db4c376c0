// The simulated device's terminal and thread: the pseudo-terminal the tool opens, the loop that
// reads what the tool sends, the quiet a slow tool leaves, and the pulled port.
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
#include <utility>

namespace kx::devsim {

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
