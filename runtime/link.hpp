// Links: how one element's pin calls another's method, and the optional hooks.
#pragma once

#include <cstdint>

namespace kx {

struct TData;

// One method shared by many links that differ only in `index`: a plain function pointer
// generated per member function, so calling a link needs no virtual call and no allocation.
using PinFn = void (*)(void* target, TData& d, std::uint16_t index);

struct EventLink {
  PinFn method = nullptr;
  void* target = nullptr;
  std::uint16_t index = 0;

  bool connected() const { return method != nullptr; }
};

template <auto Method, class T>
EventLink make_link(std::uint16_t index, T* target) {
  return {[](void* t, TData& d, std::uint16_t i) { (static_cast<T*>(t)->*Method)(d, i); },
          static_cast<void*>(target), index};
}

// A link that is never connected.
const EventLink& unconnected_link();

// An optional {method, object} hook with two arguments.
struct Hook {
  std::int32_t (*method)(void* object, std::intptr_t a, std::intptr_t b) = nullptr;
  void* object = nullptr;
};
std::int32_t call_hook(const Hook& hook, std::intptr_t a, std::intptr_t b);

}  // namespace kx
