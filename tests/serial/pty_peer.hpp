// Test helpers: the far side of a pseudo-terminal, and a recorder of element events.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "runtime/tdata.hpp"

namespace kx::test {

// A pseudo-terminal pair; the test plays the far end on the master side. A second handle
// on the terminal side is held so the terminal outlives the element's handle, as a real port
// outlives the program that opens it.
class PtyPeer {
 public:
  PtyPeer();
  ~PtyPeer();
  PtyPeer(const PtyPeer&) = delete;
  PtyPeer& operator=(const PtyPeer&) = delete;

  const std::string& path() const { return path_; }
  void send(const std::string& bytes);
  // Collects bytes until `count` arrived or the time-out passed.
  std::string receive(std::size_t count, std::chrono::milliseconds timeout);
  // Collects bytes until none came for `quiet`.
  std::string receive_all(std::chrono::milliseconds quiet);
  // The far side goes away: the terminal hangs up.
  void unplug();
  int terminal_fd() const { return slave_; }

 private:
  int master_ = -1;
  int slave_ = -1;
  std::string path_;
};

// Records "name:value" for every event it receives; the link index selects the name.
struct Recorder {
  std::vector<std::string> names;
  std::vector<std::string> log;
  std::vector<TData> values;

  EventLink link(const std::string& name);
  void on(TData& d, std::uint16_t index);
  std::size_t count(const std::string& name) const;
  void clear() {
    log.clear();
    values.clear();
  }
};

// A generated image: deterministic bytes that cover every value.
std::vector<std::uint8_t> test_image(std::size_t size, std::uint32_t seed);

}  // namespace kx::test
