// The simulated device's side of the protocol: the identification question and its answer, the
// image bytes and their running CRC, and the start command after the last block.
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <utility>

#include "tools/devsim/protocol_words.hpp"
#include "tools/devsim/simulator.hpp"

namespace kx::devsim {

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

// Before the first image byte the device listens for the question. Bytes that cannot be the
// start of it are the image beginning.
void Simulator::start_bytes(std::uint8_t byte) {
  pending_.push_back(static_cast<char>(byte));
  if (pending_ == kQuestion) {
    pending_.clear();
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (results_.vers_count++ == 0) results_.first_vers = std::chrono::system_clock::now();
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
  const auto now = std::chrono::steady_clock::now();
  const std::size_t bs = options_.block_size;
  if (count == 1) first_image_byte_ = now;
  if (count > 1 && count % bs == 1) {
    std::lock_guard<std::mutex> lock(mutex_);
    results_.turnarounds.push_back(
        std::chrono::duration_cast<std::chrono::microseconds>(now - answered_));
  }
  const std::size_t block = (count - 1) / bs;
  if (options_.fault == Fault::Unsolicited && static_cast<int>(block) == options_.fault_block &&
      count % bs == bs / 2 && state_ == State::Transfer)
    answer(crc_bytes(crc));
  if (count % bs == 0) block_done(block);
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

}  // namespace kx::devsim
