#include "runtime/input_pending.hpp"

#include <algorithm>
#include <mutex>
#include <utility>
#include <vector>

namespace kx {

namespace {

struct Watches {
  std::mutex mutex;
  std::vector<const InputWatch*> all;
};

Watches& watches() {
  static Watches w;
  return w;
}

}  // namespace

InputWatch::InputWatch(std::function<bool()> pending) : pending_(std::move(pending)) {
  Watches& w = watches();
  std::lock_guard<std::mutex> lock(w.mutex);
  w.all.push_back(this);
}

InputWatch::~InputWatch() {
  Watches& w = watches();
  std::lock_guard<std::mutex> lock(w.mutex);
  w.all.erase(std::remove(w.all.begin(), w.all.end(), this), w.all.end());
}

bool input_pending() {
  Watches& w = watches();
  std::lock_guard<std::mutex> lock(w.mutex);
  return std::any_of(w.all.begin(), w.all.end(),
                     [](const InputWatch* watch) { return watch->pending(); });
}

}  // namespace kx
