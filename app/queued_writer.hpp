// Bytes for a destination that may block (a console an operator is selecting text in, a pipe
// nobody reads, a stalled file system), written on a thread of its own so that whoever queues
// them (the element thread above all) never waits for the destination. Lines keep their order
// and each append reaches the destination whole.
//
// The writer may hang in the operating system for good, so it is an unwaited thread
// (runtime/threads.hpp) holding the queue it shares with this object; the end waits for it
// with a bound and leaves a stuck one behind (the process's end stops it).
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string_view>

#include "app/log_file.hpp"

namespace kx {

class QueuedWriter final : public LogFile {
 public:
  // Opens the destination, on the writer's thread (an open may hang too); nullptr when it
  // cannot be: what is queued then goes nowhere, as it does when the system refuses the thread.
  using Opener = std::function<std::shared_ptr<LogFile>()>;
  // `max_queued`: appends waiting at most; one more is dropped. 0: no bound (small lines
  // nothing may lose, such as a run's result).
  explicit QueuedWriter(Opener open, std::size_t max_queued = 0);
  // A destination open already. Should the system refuse the thread, the bytes are written on
  // the caller's thread instead: late rather than lost.
  explicit QueuedWriter(std::unique_ptr<LogFile> destination, std::size_t max_queued = 0);
  ~QueuedWriter() override;  // finish() with the default bound

  // Queues the bytes and returns at once; false when they are dropped (a full queue, no writer
  // thread and no destination, or after close()).
  bool append(std::string_view bytes) override;

  // No more appends; the writer ends once the queue is written.
  void close();
  // Waits until everything queued is written and the destination released, or until
  // `deadline`; true when written.
  bool wait_until(std::chrono::steady_clock::time_point deadline);
  // close(), then waits `bound` at most.
  bool finish(std::chrono::milliseconds bound = kFinishBound);

  static constexpr std::chrono::milliseconds kFinishBound{2000};

 private:
  struct Shared;
  bool start(Opener open);  // false: the system refused the thread
  static void write_queue(const std::shared_ptr<Shared>& shared, const Opener& open);

  std::size_t max_queued_;
  std::shared_ptr<Shared> shared_;  // null: no writer thread
  std::shared_ptr<LogFile> here_;   // no writer thread: the destination, written on the caller's
  bool closed_here_ = false;
};

}  // namespace kx
