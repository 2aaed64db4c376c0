#include "app/update_log.hpp"

#include <condition_variable>
#include <cstdio>
#include <ctime>
#include <deque>
#include <mutex>

#include "app/log_file.hpp"
#include "runtime/threads.hpp"

namespace kx {

namespace {

std::chrono::sys_days day_of(const std::tm& tm) {
  using namespace std::chrono;
  return sys_days{year{tm.tm_year + 1900} / month{static_cast<unsigned>(tm.tm_mon + 1)} /
                  day{static_cast<unsigned>(tm.tm_mday)}};
}

}  // namespace

// Lines wait here for one destination's writer thread. The queue is bounded: a writer that
// cannot keep up (a stalled file system, a console whose operator is selecting text, a full
// pipe) loses lines rather than memory. Each destination has its own queue and thread, so one
// that blocks holds up no other: a blocked console loses console lines only.
struct UpdateLog::Shared {
  std::mutex mutex;
  std::condition_variable cv;
  std::deque<std::string> lines;
  bool stop = false;      // no more lines will come
  bool finished = false;  // every line is written (or dropped) and the file is closed
};

namespace {

constexpr std::size_t kMaxQueuedLines = 1000;
constexpr auto kFinishBound = std::chrono::seconds(2);

}  // namespace

UpdateLog::UpdateLog(std::string path, std::unique_ptr<LogFile> echo) {
  // A writer may hang in the file system for good: each runs unwaited, on the queue it holds.
  // The file is opened on its writer's thread, since an open may hang too.
  if (!path.empty())
    start_writer(
        [path = std::move(path)] { return std::shared_ptr<LogFile>(open_log_file(path)); });
  if (echo) start_writer([also = std::shared_ptr<LogFile>(std::move(echo))] { return also; });
}

void UpdateLog::start_writer(Opener open) {
  auto shared = std::make_shared<Shared>();
  if (start_unwaited_thread([shared, open = std::move(open)] { write_lines(shared, open); }))
    sinks_.push_back(std::move(shared));  // no thread: that destination gets nothing
}

UpdateLog::~UpdateLog() {
  const auto deadline = std::chrono::steady_clock::now() + kFinishBound;
  for (const std::shared_ptr<Shared>& shared : sinks_) {
    std::lock_guard<std::mutex> lock(shared->mutex);
    shared->stop = true;
    shared->cv.notify_all();
  }
  // A writer stuck in the file system is not waited for longer: it holds its queue itself, and
  // the process's end stops it.
  for (const std::shared_ptr<Shared>& shared : sinks_) {
    std::unique_lock<std::mutex> lock(shared->mutex);
    shared->cv.wait_until(lock, deadline, [&] { return shared->finished; });
  }
}

void UpdateLog::line(std::string_view text) {
  if (sinks_.empty()) return;
  std::string out = iso8601_local(std::chrono::system_clock::now());
  out += ' ';
  out += text;
  out += "\r\n";
  for (const std::shared_ptr<Shared>& shared : sinks_) {
    std::lock_guard<std::mutex> lock(shared->mutex);
    if (shared->lines.size() >= kMaxQueuedLines) continue;
    shared->lines.push_back(out);
    shared->cv.notify_all();
  }
}

void UpdateLog::write_lines(const std::shared_ptr<Shared>& shared, const Opener& open) {
  std::shared_ptr<LogFile> out = open();
  std::unique_lock<std::mutex> lock(shared->mutex);
  for (;;) {
    shared->cv.wait(lock, [&] { return shared->stop || !shared->lines.empty(); });
    if (shared->lines.empty()) break;  // stopped, and everything is written
    std::deque<std::string> batch;
    batch.swap(shared->lines);
    lock.unlock();
    std::string bytes;
    for (const std::string& l : batch) bytes += l;
    if (out) out->append(bytes);  // a failed write loses these lines, nothing else
    lock.lock();
  }
  lock.unlock();
  out.reset();
  lock.lock();
  shared->finished = true;
  shared->cv.notify_all();
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
