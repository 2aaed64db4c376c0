// POSIX threads: std::thread for both kinds. An unwaited thread is kept in a process-wide list
// and joined by a later start once it has ended (joining it then takes no time), or at the
// process's end, which waits a little for threads about to end; one still hanging then is
// ended with the process.
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "runtime/threads.hpp"

namespace kx {

struct JoinedThread::Native {
  std::thread thread;
};

JoinedThread::JoinedThread() : native_(std::make_unique<Native>()) {}

JoinedThread::~JoinedThread() {
  join();
}

bool JoinedThread::start(std::function<void()> body) {
  if (native_->thread.joinable() || thread_detail::start_refused()) return false;
  try {
    native_->thread =
        std::thread([body = std::move(body)]() mutable { thread_detail::run_body(body); });
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

void JoinedThread::join() {
  if (native_->thread.joinable()) native_->thread.join();
}

bool JoinedThread::joinable() const {
  return native_->thread.joinable();
}

namespace {

struct Unwaited {
  std::thread thread;
  std::shared_ptr<std::atomic<bool>> ended;
};

struct UnwaitedList {
  std::mutex mutex;
  std::vector<Unwaited> threads;
};

UnwaitedList& unwaited_list() {
  // Never destroyed: a thread still hanging when the process ends must not be joined then.
  static UnwaitedList* list = new UnwaitedList;
  return *list;
}

// Joins the threads of the list that have ended. List lock held.
void join_ended(std::vector<Unwaited>& threads) {
  for (auto it = threads.begin(); it != threads.end();) {
    if (it->ended->load()) {
      it->thread.join();  // it has left its body: only its return is left
      it = threads.erase(it);
    } else {
      ++it;
    }
  }
}

// At the process's end every thread that has ended, or ends within the bound, is joined.
struct JoinAtExit {
  ~JoinAtExit() {
    UnwaitedList& list = unwaited_list();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(200);
    std::lock_guard<std::mutex> lock(list.mutex);
    for (;;) {
      join_ended(list.threads);
      if (list.threads.empty() || std::chrono::steady_clock::now() >= deadline) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  }
} g_join_at_exit;

}  // namespace

bool start_unwaited_thread(std::function<void()> body) {
  if (thread_detail::start_refused()) return false;
  auto ended = std::make_shared<std::atomic<bool>>(false);
  Unwaited entry{{}, ended};
  try {
    entry.thread = std::thread([body = std::move(body), ended]() mutable {
      thread_detail::run_body(body);
      ended->store(true);
    });
  } catch (const std::system_error&) {
    return false;
  }
  UnwaitedList& list = unwaited_list();
  std::lock_guard<std::mutex> lock(list.mutex);
  join_ended(list.threads);
  list.threads.push_back(std::move(entry));
  return true;
}

}  // namespace kx
