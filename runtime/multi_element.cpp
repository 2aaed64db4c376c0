#include "runtime/multi_element.hpp"

#include <algorithm>

namespace kx {

namespace {

// Pushes a call record for the length of one call that leaves an instance.
class CallScope : Pinned {
 public:
  CallScope(TKxMultiElementEx& container, TKxEditMultiEx* from)
      : container_(container), node_{from, container.call_chain} {
    container_.call_chain = &node_;
  }
  ~CallScope() { container_.call_chain = node_.previous; }

 private:
  TKxMultiElementEx& container_;
  TKxMultiElementEx::CallNode node_;
};

const EventLink& link_at(const std::vector<EventLink>& links, std::uint16_t index) {
  return index < links.size() ? links[index] : unconnected_link();
}

}  // namespace

void TKxEditMultiEx::doEvent(TData& d, std::uint16_t index) {
  if (container == nullptr) return;
  CallScope scope(*container, this);
  fire(link_at(container->onEvent, index), d);
}

void TKxEditMultiEx::getVar(TData& d, std::uint16_t index) {
  if (container == nullptr) return;
  CallScope scope(*container, this);
  read_into(d, link_at(container->dataVar, index));
}

TKxMultiElementEx::~TKxMultiElementEx() {
  clear_instances(shared_null(), kNoEntry);
  instances.clear();
}

void TKxMultiElementEx::doWork(TData& d, std::uint16_t index) {
  if (current != nullptr) {
    fire(link_at(current->onWork, index), d);
    return;
  }
  TKxEditMultiEx* temporary = create_instance();
  if (temporary == nullptr) return;
  fire(link_at(temporary->onWork, index), d);
  delete temporary->scheme;
}

void TKxMultiElementEx::getVar(TData& d, std::uint16_t index) {
  if (current != nullptr) {
    read_into(d, link_at(current->dataVar, index));
    return;
  }
  TKxEditMultiEx* temporary = create_instance();
  if (temporary == nullptr) return;
  read_into(d, link_at(temporary->dataVar, index));
  delete temporary->scheme;
}

void TKxMultiElementEx::set_creator(SubSchemeCreator routine) {
  creator = routine;
  if (CreateOnDemand == 0) {
    TKxEditMultiEx* instance = create_instance();
    if (instance != nullptr) {
      current = instance;
      instances.push_back(instance);
    }
  }
}

TKxEditMultiEx* TKxMultiElementEx::create_instance() {
  if (creator == nullptr) return nullptr;
  const bool was_done = startup_done();
  set_startup_done(false);
  TKxEditMultiEx* boundary = creator(this, parent_control, owner);
  if (was_done) run_startup_list();
  return boundary;
}

void TKxMultiElementEx::remove_instance(TData& d, std::uint16_t entry) {
  const std::int32_t n = to_integer(d);
  if (n < 0 || static_cast<std::size_t>(n) >= instances.size()) return;
  TKxEditMultiEx* x = instances[static_cast<std::size_t>(n)];
  for (CallNode* node = call_chain; node != nullptr; node = node->previous) {
    if (node->from == x) {
      debug_message("Self destruction is not allowed !!!");
      return;
    }
  }
  if (entry < x->onWork.size()) fire(x->onWork[entry], d);
  if (x == current) current = nullptr;
  // The entry call may have changed the list; find the instance again before removing it.
  auto it = std::find(instances.begin(), instances.end(), x);
  if (it != instances.end()) instances.erase(it);
  delete x->scheme;
}

void TKxMultiElementEx::clear_instances(TData& d, std::uint16_t entry) {
  for (std::size_t n = instances.size(); n-- > 0;) {
    set_integer(d, static_cast<std::int32_t>(n));
    remove_instance(d, entry);
  }
}

}  // namespace kx
