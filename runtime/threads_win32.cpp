// Windows threads: _beginthreadex for both kinds, so no thread of the product goes through the
// C++ library's thread records. (Detaching a std::thread whose body may already have ended
// crashed the MinGW thread library under Wine now and then, at the start of the next thread.)
// A joined thread's handle is waited on and closed by its owner. An unwaited thread's handle is
// kept in a process-wide list and closed by a later start once the thread has ended, or at the
// process's end, which waits a little for threads about to end, so that none is still leaving
// while the process ends; one still hanging then is ended with the process.
#include <windows.h>

#include <process.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "runtime/threads.hpp"

namespace kx {

namespace {

unsigned __stdcall thread_entry(void* arg) {
  std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(arg));
  thread_detail::run_body(*body);
  return 0;
}

// The new thread's handle, or nullptr when the system refused one.
HANDLE begin_thread(std::function<void()> body) {
  if (thread_detail::start_refused()) return nullptr;
  auto* arg = new std::function<void()>(std::move(body));
  const std::uintptr_t h = _beginthreadex(nullptr, 0, &thread_entry, arg, 0, nullptr);
  if (h == 0) {
    delete arg;
    return nullptr;
  }
  return reinterpret_cast<HANDLE>(h);
}

}  // namespace

struct JoinedThread::Native {
  HANDLE handle = nullptr;
};

JoinedThread::JoinedThread() : native_(std::make_unique<Native>()) {}

JoinedThread::~JoinedThread() {
  join();
}

bool JoinedThread::start(std::function<void()> body) {
  if (native_->handle != nullptr) return false;
  native_->handle = begin_thread(std::move(body));
  return native_->handle != nullptr;
}

void JoinedThread::join() {
  if (native_->handle == nullptr) return;
  WaitForSingleObject(native_->handle, INFINITE);
  CloseHandle(native_->handle);
  native_->handle = nullptr;
}

bool JoinedThread::joinable() const {
  return native_->handle != nullptr;
}

namespace {

struct UnwaitedList {
  std::mutex mutex;
  std::vector<HANDLE> threads;
};

UnwaitedList& unwaited_list() {
  // Never destroyed: a thread still hanging when the process ends must not be waited for then.
  static UnwaitedList* list = new UnwaitedList;
  return *list;
}

// Closes the handles of the threads of the list that have ended. List lock held.
void close_ended(std::vector<HANDLE>& threads) {
  std::erase_if(threads, [](HANDLE h) {
    if (WaitForSingleObject(h, 0) != WAIT_OBJECT_0) return false;
    CloseHandle(h);
    return true;
  });
}

// At the process's end every thread that has ended, or ends within the bound, is waited for.
struct WaitAtExit {
  ~WaitAtExit() {
    UnwaitedList& list = unwaited_list();
    const ULONGLONG deadline = GetTickCount64() + 200;
    std::lock_guard<std::mutex> lock(list.mutex);
    for (;;) {
      close_ended(list.threads);
      const ULONGLONG now = GetTickCount64();
      if (list.threads.empty() || now >= deadline) return;
      const std::size_t n = std::min<std::size_t>(list.threads.size(), MAXIMUM_WAIT_OBJECTS);
      WaitForMultipleObjects(static_cast<DWORD>(n), list.threads.data(), FALSE,
                             static_cast<DWORD>(deadline - now));
    }
  }
} g_wait_at_exit;

}  // namespace

bool start_unwaited_thread(std::function<void()> body) {
  const HANDLE h = begin_thread(std::move(body));
  if (h == nullptr) return false;
  UnwaitedList& list = unwaited_list();
  std::lock_guard<std::mutex> lock(list.mutex);
  close_ended(list.threads);
  list.threads.push_back(h);
  return true;
}

}  // namespace kx
