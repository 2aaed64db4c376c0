// The simulated device's faults: their names, and the answer to a block, where a fault set on
// that block changes it.
#include <array>
#include <mutex>
#include <string>

#include "tools/devsim/protocol_words.hpp"
#include "tools/devsim/simulator.hpp"

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

}  // namespace

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

}  // namespace kx::devsim
