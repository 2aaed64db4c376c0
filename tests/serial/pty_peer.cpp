#include "tests/serial/pty_peer.hpp"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <stdexcept>

namespace kx::test {

PtyPeer::PtyPeer() {
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  char name[128];
  if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0 ||
      ptsname_r(master_, name, sizeof name) != 0)
    throw std::runtime_error("no pseudo-terminal");
  path_ = name;
  slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  termios t{};
  if (slave_ < 0 || tcgetattr(slave_, &t) != 0) throw std::runtime_error("no terminal side");
  cfmakeraw(&t);
  tcsetattr(slave_, TCSANOW, &t);
}

PtyPeer::~PtyPeer() {
  unplug();
}

void PtyPeer::send(const std::string& bytes) {
  std::size_t off = 0;
  while (off < bytes.size()) {
    const ssize_t n = ::write(master_, bytes.data() + off, bytes.size() - off);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) throw std::runtime_error("peer write failed");
    off += static_cast<std::size_t>(n);
  }
}

std::string PtyPeer::receive(std::size_t count, std::chrono::milliseconds timeout) {
  std::string out;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (out.size() < count) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd p{master_, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
    char buf[4096];
    const ssize_t n = ::read(master_, buf, std::min(sizeof buf, count - out.size()));
    if (n <= 0) break;
    out.append(buf, static_cast<std::size_t>(n));
  }
  return out;
}

std::string PtyPeer::receive_all(std::chrono::milliseconds quiet) {
  std::string out;
  for (;;) {
    pollfd p{master_, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(quiet.count())) <= 0) return out;
    char buf[4096];
    const ssize_t n = ::read(master_, buf, sizeof buf);
    if (n <= 0) return out;
    out.append(buf, static_cast<std::size_t>(n));
  }
}

void PtyPeer::unplug() {
  if (master_ >= 0) ::close(master_);
  if (slave_ >= 0) ::close(slave_);
  master_ = slave_ = -1;
}

EventLink Recorder::link(const std::string& name) {
  names.push_back(name);
  return make_link<&Recorder::on>(static_cast<std::uint16_t>(names.size() - 1), this);
}

void Recorder::on(TData& d, std::uint16_t index) {
  std::string entry = names.at(index);
  if (d.kind == kInteger) entry += ":" + std::to_string(d.int_value);
  if (d.kind == kString) entry += ":" + d.str_value;
  log.push_back(entry);
  values.push_back(d);
}

std::size_t Recorder::count(const std::string& name) const {
  std::size_t n = 0;
  for (const std::string& e : log)
    if (e == name || e.rfind(name + ":", 0) == 0) ++n;
  return n;
}

std::vector<std::uint8_t> test_image(std::size_t size, std::uint32_t seed) {
  std::vector<std::uint8_t> image(size);
  std::uint32_t x = seed ? seed : 1;
  for (std::size_t i = 0; i < size; ++i) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    image[i] = static_cast<std::uint8_t>(i < 256 ? i : (x >> 24));
  }
  return image;
}

}  // namespace kx::test
