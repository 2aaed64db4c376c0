// Sub-scheme containers: a generated sub-scheme used as if it were one element.
#pragma once

#include <cstdint>
#include <vector>

#include "runtime/pinned.hpp"
#include "runtime/tdata.hpp"

namespace kx {

class TKxEditMultiEx;
class TKxMultiElementEx;

// Base of every generated sub-scheme class; destroying it destroys its elements.
class TClassMultiBase : Pinned {
 public:
  TClassMultiBase() = default;
  virtual ~TClassMultiBase() = default;

  TKxEditMultiEx* boundary = nullptr;
};

// The one boundary element inside a sub-scheme: everything enters and leaves through it.
class TKxEditMultiEx {
 public:
  TKxMultiElementEx* container = nullptr;
  TClassMultiBase* scheme = nullptr;
  std::vector<EventLink> onWork;   // fired by the container's doWork[i]
  std::vector<EventLink> dataVar;  // read by the container's getVar[i]

  void doEvent(TData& d, std::uint16_t index);  // the container fires onEvent[index]
  void getVar(TData& d, std::uint16_t index);   // reads the container's dataVar[index]
};

// Builds a new instance of a sub-scheme class and returns its boundary element.
using SubSchemeCreator = TKxEditMultiEx* (*)(TKxMultiElementEx* container, void* parent_control,
                                             void* owner);

class TKxMultiElementEx : Pinned {
 public:
  explicit TKxMultiElementEx(void* parent) : parent_control(parent) {}
  ~TKxMultiElementEx();

  struct CallNode {
    TKxEditMultiEx* from;
    CallNode* previous;
  };

  TKxEditMultiEx* current = nullptr;
  SubSchemeCreator creator = nullptr;
  std::vector<TKxEditMultiEx*> instances;
  void* parent_control = nullptr;
  std::uint8_t CreateOnDemand = 0;
  CallNode* call_chain = nullptr;
  std::vector<EventLink> onEvent;
  std::vector<EventLink> dataVar;
  void* owner = nullptr;

  void doWork(TData& d, std::uint16_t index);
  void getVar(TData& d, std::uint16_t index);

  void set_creator(SubSchemeCreator routine);
  TKxEditMultiEx* create_instance();
  void remove_instance(TData& d, std::uint16_t entry);
  void clear_instances(TData& d, std::uint16_t entry);

  static constexpr std::uint16_t kNoEntry = 65535;
};

}  // namespace kx
