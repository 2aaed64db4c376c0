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

// Lines wait here for the writer thread. The queue is bounded: a writer that cannot keep up
// (a stalled file system) loses lines rather than memory.
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

UpdateLog::UpdateLog(std::string path, std::unique_ptr<LogFile> echo)
    : shared_(std::make_shared<Shared>()) {
  if (path.empty() && !echo) {
    shared_.reset();  // nowhere to write
    return;
  }
  // The writer may hang in the file system for good: it runs unwaited, on the queue it holds.
  std::shared_ptr<LogFile> also = std::move(echo);
  if (!start_unwaited_thread(
          [shared = shared_, path = std::move(path), also] { write_lines(shared, path, also); }))
    shared_.reset();  // no thread, no log
}

UpdateLog::~UpdateLog() {
  if (!shared_) return;
  std::unique_lock<std::mutex> lock(shared_->mutex);
  shared_->stop = true;
  shared_->cv.notify_all();
  // A writer stuck in the file system is not waited for longer: it holds the queue itself, and
  // the process's end stops it.
  shared_->cv.wait_for(lock, kFinishBound, [this] { return shared_->finished; });
}

void UpdateLog::line(std::string_view text) {
  if (!shared_) return;
  std::string out = iso8601_local(std::chrono::system_clock::now());
  out += ' ';
  out += text;
  out += "\r\n";
  std::lock_guard<std::mutex> lock(shared_->mutex);
  if (shared_->lines.size() >= kMaxQueuedLines) return;
  shared_->lines.push_back(std::move(out));
  shared_->cv.notify_all();
}

void UpdateLog::write_lines(std::shared_ptr<Shared> shared, std::string path,
                            std::shared_ptr<LogFile> echo) {
  std::unique_ptr<LogFile> file = path.empty() ? nullptr : open_log_file(path);
  std::unique_lock<std::mutex> lock(shared->mutex);
  for (;;) {
    shared->cv.wait(lock, [&] { return shared->stop || !shared->lines.empty(); });
    if (shared->lines.empty()) break;  // stopped, and everything is written
    std::deque<std::string> batch;
    batch.swap(shared->lines);
    lock.unlock();
    std::string bytes;
    for (const std::string& l : batch) bytes += l;
    if (file) file->append(bytes);  // a failed write loses these lines, nothing else
    if (echo) echo->append(bytes);
    lock.lock();
  }
  file.reset();
  echo.reset();
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
