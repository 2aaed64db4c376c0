#include "app/event_channel.hpp"

#include "app/summary_file.hpp"

namespace kx {

namespace {

// The first process stops reading while it waits for the summary file's lock.
constexpr std::chrono::milliseconds kChannelFinishBound =
    kSummaryLockBound + QueuedWriter::kFinishBound;

}  // namespace

ChannelSink::ChannelSink(std::unique_ptr<ChannelWriter> writer) : queue_(std::move(writer)) {}

ChannelSink::~ChannelSink() {
  finish();
}

void ChannelSink::on_event(const RunEvent& event) {
  queue_.append(event_line(event));
}

void ChannelSink::finish() {
  queue_.finish(kChannelFinishBound);
}

bool parse_channel_name(const std::string& name, unsigned long long max, unsigned long long& out) {
  if (name.empty() || name.size() > 20) return false;
  unsigned long long v = 0;
  for (const char c : name) {
    if (c < '0' || c > '9') return false;
    const auto digit = static_cast<unsigned long long>(c - '0');
    if (v > (max - digit) / 10) return false;
    v = v * 10 + digit;
  }
  out = v;
  return true;
}

}  // namespace kx
