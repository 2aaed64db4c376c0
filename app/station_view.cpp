#include "app/station_view.hpp"

#include <algorithm>
#include <cstdio>

#include "app/escape.hpp"
#include "app/log_file.hpp"
#include "runtime/image_layout.hpp"

namespace kx {

namespace {

constexpr int kBarWidth = 20;
constexpr auto kRedrawEvery = std::chrono::milliseconds(100);

std::string minutes(double seconds) {
  const long s = seconds < 0 ? 0 : static_cast<long>(seconds + 0.5);
  char text[32];
  std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
  return text;
}

// Printable text on one line: the device's words and the reasons may hold any byte.
std::string one_line(const std::string& text) {
  return printable(text);
}

}  // namespace

TerminalView::TerminalView(LogFile& out, std::vector<std::string> ports, int width,
                           std::function<Clock::time_point()> now)
    : out_(out), width_(std::max(width, 20)), now_(std::move(now)) {
  for (std::string& name : ports) {
    name_width_ = std::max(name_width_, name.size());
    Port p;
    p.name = std::move(name);
    ports_.push_back(std::move(p));
  }
}

void TerminalView::on_event(const RunEvent& e) {
  auto it =
      std::find_if(ports_.begin(), ports_.end(), [&](const Port& p) { return p.name == e.port; });
  if (it == ports_.end()) return;
  Port& p = *it;
  changed_ = true;
  bool now = true;  // a change of stage is drawn at once, progress at most every kRedrawEvery
  switch (e.kind) {
    case RunEvent::Kind::Start:
      break;
    case RunEvent::Kind::Identified:
      p.identified = true;
      p.device = e.model + " " + e.firmware;
      p.since = now_();
      if (p.total == 0) p.total = static_cast<int>(image_layout::kBlockCount);
      break;
    case RunEvent::Kind::Progress:
      p.blocks = e.blocks;
      p.total = e.total;
      now = now_() - last_draw_ >= kRedrawEvery;
      break;
    case RunEvent::Kind::Result:
      p.ended = true;
      p.record = e.record;
      break;
  }
  if (now) draw();
}

void TerminalView::finish() {
  if (changed_) draw();
}

std::string TerminalView::line_of(std::size_t index) const {
  const Port& p = ports_.at(index);
  std::string line = p.name + std::string(name_width_ - p.name.size() + 2, ' ');
  if (p.ended) {
    const RunRecord& r = p.record;
    char text[96];
    if (p.total > 0)
      std::snprintf(text, sizeof text, "%s, %d of %d blocks, %.1f s", r.result.c_str(),
                    std::max(r.blocks, 0), p.total, r.seconds < 0 ? 0.0 : r.seconds);
    else
      std::snprintf(text, sizeof text, "%s, %.1f s", r.result.c_str(),
                    r.seconds < 0 ? 0.0 : r.seconds);
    line += text;
    if (!r.reason.empty()) line += ": " + one_line(r.reason);
    return line;
  }
  if (!p.identified) return line + "waiting for the device";
  const int filled = p.total > 0 ? p.blocks * kBarWidth / p.total : 0;
  const int percent = p.total > 0 ? p.blocks * 100 / p.total : 0;
  const double elapsed = std::chrono::duration<double>(now_() - p.since).count();
  char text[128];
  std::snprintf(text, sizeof text, "[%s%s] %3d %%  %d/%d  %s", std::string(filled, '#').c_str(),
                std::string(kBarWidth - filled, '-').c_str(), percent, p.blocks, p.total,
                minutes(elapsed).c_str());
  line += text;
  if (p.blocks > 0 && p.total > 0)
    line += "  left " + minutes(elapsed * (p.total - p.blocks) / p.blocks);
  return line + "  " + one_line(p.device);
}

void TerminalView::draw() {
  last_draw_ = now_();
  changed_ = false;
  std::string text;
  // Back to the first line drawn, then every line anew, each cleared to its end.
  if (drawn_ > 0) text += "\r\033[" + std::to_string(drawn_) + "A";
  for (std::size_t i = 0; i < ports_.size(); ++i) {
    std::string line = line_of(i);
    if (line.size() >= static_cast<std::size_t>(width_))
      line.resize(static_cast<std::size_t>(width_) - 1);
    text += "\r" + line + "\033[K\n";
  }
  drawn_ = ports_.size();
  out_.append(text);
}

void JsonLines::on_event(const RunEvent& e) {
  if (e.kind == RunEvent::Kind::Progress) {
    auto [it, fresh] = percent_.try_emplace(e.port, -1);
    if (!fresh && it->second == e.percent && e.blocks != e.total) return;
    it->second = e.percent;
  }
  out_.append(event_line(e));
}

}  // namespace kx
