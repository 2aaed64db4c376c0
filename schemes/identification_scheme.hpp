// Generated sub-scheme: device identification on the chosen port.
#pragma once

#include <cstddef>

#include "runtime/multi_element.hpp"

namespace kx {

// The scheme's face: the pins of its container (`mxIdent`) that others attach to.
namespace identification_pins {
// doWork
inline constexpr std::size_t kOpened = 0;    // Integer: the port number after an open, 0: failed
inline constexpr std::size_t kChosen = 1;    // a port was chosen (the record is not used)
inline constexpr std::size_t kReceived = 2;  // String: a run of received bytes
// onEvent
inline constexpr std::size_t kWrite = 0;     // String: "VERS", for the port
inline constexpr std::size_t kStatus = 1;    // String: the status text
inline constexpr std::size_t kOpen = 2;      // open the chosen port
inline constexpr std::size_t kNotFound = 3;  // NULL: the open failed; else the refused text
inline constexpr std::size_t kFound = 4;     // String: the device word of an accepted answer
// String: what followed an answer's line end in the run that brought it; it goes where a run
// received on its own would go now (back to this scheme, or to the transfer once identified).
inline constexpr std::size_t kRest = 5;
// getVar
inline constexpr std::size_t kRoute = 0;  // Integer: 0 while identifying, 1 once identified
}  // namespace identification_pins

class TKxFormatStr;
class TKxDoData;
class TKxStrMask;
class TKxMultiStrPart;
class TKxHub;
class TKxCase;
class TKxCounter;
class TKxAnswerCollector;

class TClassMultiElementEx_26088F0 : public TClassMultiBase {
 public:
  TClassMultiElementEx_26088F0(TKxMultiElementEx* container, void* owner_scheme,
                               void* parent_control);
  ~TClassMultiElementEx_26088F0() override;

  // The container's creator routine for this class.
  static TKxEditMultiEx* create(TKxMultiElementEx* container, void* parent_control, void* owner);
  // The instance a container holds (null while it holds none).
  static TClassMultiElementEx_26088F0* in(const TKxMultiElementEx& container);

  void* owner = nullptr;
  TKxEditMultiEx* bnd = nullptr;
  TKxFormatStr* fmtStatus = nullptr;
  TKxDoData* ddNotFound = nullptr;
  TKxStrMask* smWord = nullptr;
  TKxMultiStrPart* mspReply = nullptr;
  TKxHub* hubOpen = nullptr;
  TKxCase* csOpened = nullptr;
  TKxHub* hubNotFound = nullptr;
  TKxDoData* ddVers = nullptr;
  TKxHub* hubStatus = nullptr;
  TKxHub* hubIdentified = nullptr;
  TKxCounter* cntRoute = nullptr;
  TKxHub* hubAsk = nullptr;
  TKxAnswerCollector* acAnswer = nullptr;
};

}  // namespace kx
