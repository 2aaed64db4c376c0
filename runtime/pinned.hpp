// Pinned: the base of every object that others hold pointers to (elements wired by links,
// windows, the owners of back-end threads). Such an object is never copied or assigned.
#pragma once

namespace kx {

class Pinned {
 public:
  Pinned(const Pinned&) = delete;
  Pinned& operator=(const Pinned&) = delete;

 protected:
  Pinned() = default;
  ~Pinned() = default;
};

}  // namespace kx
