#include "app/update_log.hpp"

#include <cstdio>
#include <ctime>

#include "app/log_file.hpp"
#include "app/queued_writer.hpp"

namespace kx {

namespace {

std::chrono::sys_days day_of(const std::tm& tm) {
  using namespace std::chrono;
  return sys_days{year{tm.tm_year + 1900} / month{static_cast<unsigned>(tm.tm_mon + 1)} /
                  day{static_cast<unsigned>(tm.tm_mday)}};
}

// Each destination has a queue and writer thread of its own, so one that blocks holds up no
// other: a blocked console loses console lines only. The queue is bounded: a writer that cannot
// keep up (a stalled file system, a console whose operator is selecting text, a full pipe)
// loses lines rather than memory.
constexpr std::size_t kMaxQueuedLines = 1000;

}  // namespace

UpdateLog::UpdateLog(std::string path, std::unique_ptr<LogFile> echo) {
  // The file is opened on its writer's thread, since an open may hang too.
  if (!path.empty())
    sinks_.push_back(std::make_unique<QueuedWriter>(
        [path = std::move(path)] { return std::shared_ptr<LogFile>(open_log_file(path)); },
        kMaxQueuedLines));
  if (echo) sinks_.push_back(std::make_unique<QueuedWriter>(std::move(echo), kMaxQueuedLines));
}

UpdateLog::~UpdateLog() {
  // One bound for all: a writer stuck in the file system is not waited for longer.
  const auto deadline = std::chrono::steady_clock::now() + QueuedWriter::kFinishBound;
  for (const std::unique_ptr<QueuedWriter>& sink : sinks_) sink->close();
  for (const std::unique_ptr<QueuedWriter>& sink : sinks_) sink->wait_until(deadline);
}

void UpdateLog::line(std::string_view text) {
  if (sinks_.empty()) return;
  std::string out = iso8601_local(std::chrono::system_clock::now());
  out += ' ';
  out += text;
  out += "\r\n";
  for (const std::unique_ptr<QueuedWriter>& sink : sinks_) sink->append(out);
}

std::string iso8601_local(std::chrono::system_clock::time_point t) {
  using namespace std::chrono;
  const std::time_t secs = system_clock::to_time_t(t);
  const long long millis =
      duration_cast<milliseconds>(t - system_clock::from_time_t(secs)).count() % 1000;
  std::tm local{}, utc{};
  if (const std::tm* l = std::localtime(&secs)) local = *l;
  if (const std::tm* u = std::gmtime(&secs)) utc = *u;
  // The offset is what separates the local wall clock from UTC at this instant.
  const long long offset_min = (day_of(local) - day_of(utc)).count() * 1440 +
                               (local.tm_hour - utc.tm_hour) * 60 + (local.tm_min - utc.tm_min);
  const long long abs_min = offset_min < 0 ? -offset_min : offset_min;
  char buf[96];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d.%03lld%c%02lld:%02lld",
                local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                local.tm_sec, millis < 0 ? 0 : millis, offset_min < 0 ? '-' : '+', abs_min / 60,
                abs_min % 60);
  return buf;
}

}  // namespace kx
