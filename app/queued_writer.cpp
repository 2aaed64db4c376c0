#include "app/queued_writer.hpp"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>

#include "runtime/threads.hpp"

namespace kx {

struct QueuedWriter::Shared {
  std::mutex mutex;
  std::condition_variable cv;
  std::deque<std::string> queue;
  bool closed = false;    // no more appends will come
  bool finished = false;  // everything is written (or failed) and the destination released
};

QueuedWriter::QueuedWriter(Opener open, std::size_t max_queued) : max_queued_(max_queued) {
  start(std::move(open));
}

QueuedWriter::QueuedWriter(std::unique_ptr<LogFile> destination, std::size_t max_queued)
    : max_queued_(max_queued) {
  std::shared_ptr<LogFile> to(std::move(destination));
  if (!start([to] { return to; })) here_ = std::move(to);
}

bool QueuedWriter::start(Opener open) {
  shared_ = std::make_shared<Shared>();
  if (start_unwaited_thread(
          [shared = shared_, open = std::move(open)] { write_queue(shared, open); }))
    return true;
  shared_.reset();
  return false;
}

QueuedWriter::~QueuedWriter() {
  finish();
}

bool QueuedWriter::append(std::string_view bytes) {
  if (!shared_) return here_ && !closed_here_ && here_->append(bytes);
  std::lock_guard<std::mutex> lock(shared_->mutex);
  if (shared_->closed || (max_queued_ > 0 && shared_->queue.size() >= max_queued_)) return false;
  shared_->queue.emplace_back(bytes);
  shared_->cv.notify_all();
  return true;
}

void QueuedWriter::close() {
  closed_here_ = true;
  if (!shared_) return;
  std::lock_guard<std::mutex> lock(shared_->mutex);
  shared_->closed = true;
  shared_->cv.notify_all();
}

bool QueuedWriter::wait_until(std::chrono::steady_clock::time_point deadline) {
  if (!shared_) return true;
  std::unique_lock<std::mutex> lock(shared_->mutex);
  // A writer stuck in the system is not waited for longer: it holds the queue itself.
  return shared_->cv.wait_until(lock, deadline, [&] { return shared_->finished; });
}

bool QueuedWriter::finish(std::chrono::milliseconds bound) {
  close();
  return wait_until(std::chrono::steady_clock::now() + bound);
}

void QueuedWriter::write_queue(const std::shared_ptr<Shared>& shared, const Opener& open) {
  std::shared_ptr<LogFile> out = open();
  std::unique_lock<std::mutex> lock(shared->mutex);
  for (;;) {
    shared->cv.wait(lock, [&] { return shared->closed || !shared->queue.empty(); });
    if (shared->queue.empty()) break;  // closed, and everything is written
    std::deque<std::string> batch;
    batch.swap(shared->queue);
    lock.unlock();
    std::string bytes;
    for (const std::string& b : batch) bytes += b;
    if (out) out->append(bytes);  // a failed write loses this batch, nothing else
    lock.lock();
  }
  lock.unlock();
  out.reset();
  lock.lock();
  shared->finished = true;
  shared->cv.notify_all();
}

}  // namespace kx
