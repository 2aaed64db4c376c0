#include "app/channel_launcher.hpp"

namespace kx {

namespace {

// How long a process that ended may still hold its channel open (a process it started).
constexpr auto kChannelGrace = std::chrono::seconds(1);
// How often the processes are looked at while their channels are quiet.
constexpr auto kLookEvery = std::chrono::milliseconds(20);

}  // namespace

ProcessNews ChannelLauncher::wait(std::chrono::milliseconds bound) {
  const Clock::time_point until = Clock::now() + bound;
  for (;;) {
    if (ProcessNews news; ready(news)) return news;
    const Clock::time_point now = Clock::now();
    if (now >= until) return {ProcessNews::Kind::Quiet, -1, {}, {}};
    look_at_ends();
    for (std::size_t i = 0; i < children_.size(); ++i) {
      const Child& c = children_[i];
      if (c.ended && c.channel_open && now - c.ended_at > kChannelGrace) close_channel(i);
    }
    if (ProcessNews news; ready(news)) return news;
    listen(std::min<Clock::duration>(until - now, kLookEvery));
  }
}

void ChannelLauncher::forget(int id) {
  const auto i = static_cast<std::size_t>(id);
  children_.at(i).forgotten = true;
  close_channel(i);
}

void ChannelLauncher::mark_ended(std::size_t index, bool exited, long long code) {
  Child& c = children_[index];
  c.ended = true;
  c.ended_at = Clock::now();
  c.end.exited = exited;
  c.end.code = code;
}

void ChannelLauncher::close_channel(std::size_t index) {
  Child& c = children_[index];
  if (!c.channel_open) return;
  close_channel_of(index);
  c.channel_open = false;
  c.lines.cut();
}

bool ChannelLauncher::awaited(std::size_t index) const {
  const Child& c = children_[index];
  return !c.reported && !c.forgotten;
}

// A whole line, else an end whose channel is closed, else none left.
bool ChannelLauncher::ready(ProcessNews& news) {
  bool waiting = false;
  for (std::size_t i = 0; i < children_.size(); ++i) {
    Child& c = children_[i];
    if (!awaited(i)) continue;
    if (c.lines.next(news.line)) {
      news.kind = ProcessNews::Kind::Line;
      news.id = static_cast<int>(i);
      return true;
    }
    if (c.ended && !c.channel_open) {
      c.reported = true;
      news.kind = ProcessNews::Kind::Ended;
      news.id = static_cast<int>(i);
      news.end = c.end;
      news.end.id = news.id;
      return true;
    }
    waiting = true;
  }
  if (waiting) return false;
  news.kind = ProcessNews::Kind::None;
  return true;
}

}  // namespace kx
