// POSIX threads: std::thread for both kinds. An unwaited thread is kept in a process-wide list
// and joined by a later start once it has ended (joining it then takes no time); one still
// running when the process ends is ended with it.
#include <atomic>
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
  for (auto it = list.threads.begin(); it != list.threads.end();) {
    if (it->ended->load()) {
      it->thread.join();  // it has left its body: only its return is left
      it = list.threads.erase(it);
    } else {
      ++it;
    }
  }
  list.threads.push_back(std::move(entry));
  return true;
}

}  // namespace kx
