// Generated sub-scheme: the firmware transfer with CRC acknowledgements and a watchdog.
#pragma once

#include <cstddef>

#include "runtime/multi_element.hpp"

namespace kx {

// The scheme's face: the pins of its container (`mxFlash`) that others attach to.
namespace transfer_pins {
// doWork
inline constexpr std::size_t kReceived = 0;  // String: a run of received bytes
inline constexpr std::size_t kClick = 1;     // the write button was clicked
// onEvent
inline constexpr std::size_t kProgress = 0;  // Integer: blocks acknowledged
inline constexpr std::size_t kWrite = 1;     // String: an image byte or "PUSK", for the port
inline constexpr std::size_t kSuccess = 2;   // String: the final answer's hexadecimal text
inline constexpr std::size_t kFault = 3;     // String: a refused answer's hexadecimal text, or
                                             // Integer: the watchdog's count (silence)
inline constexpr std::size_t kCrc = 4;       // String: the new running CRC text
inline constexpr std::size_t kEcho = 5;      // String: every received answer, unchanged
// dataVar
inline constexpr std::size_t kCrcText = 0;  // String: the running CRC text as last stored
}  // namespace transfer_pins

class TKxConvertor;
class TKxDataToFile;
class TKxCounter;
class TKxHub;
class TKxStrMask;
class TKxMemoryStream;
class TKxFor;
class TKxDoData;
class TKxCRC16_32;
class TKxStream2Hex;
class TKxStrCat;
class TKxMMTimer;
class TKxIf_else;
class TKxAnswerCollector;
class TKxAfterStep;

class TClassMultiElementEx_2608DC0 : public TClassMultiBase {
 public:
  TClassMultiElementEx_2608DC0(TKxMultiElementEx* container, void* owner_scheme,
                               void* parent_control);
  ~TClassMultiElementEx_2608DC0() override;

  // The container's creator routine for this class.
  static TKxEditMultiEx* create(TKxMultiElementEx* container, void* parent_control, void* owner);
  // The instance a container holds (null while it holds none).
  static TClassMultiElementEx_2608DC0* in(const TKxMultiElementEx& container);

  void* owner = nullptr;
  TKxEditMultiEx* bnd = nullptr;
  TKxConvertor* cvByte = nullptr;
  TKxDataToFile* dtfImage = nullptr;
  TKxCounter* cntBlock = nullptr;
  TKxHub* hubBlock = nullptr;
  TKxStrMask* smAck = nullptr;
  TKxStrMask* smFinal = nullptr;
  TKxHub* hubReply = nullptr;
  TKxMemoryStream* msImage = nullptr;
  TKxFor* forBlock = nullptr;
  TKxHub* hubAck = nullptr;
  TKxHub* hubSend = nullptr;
  TKxHub* hubFinal = nullptr;
  TKxDoData* ddPusk = nullptr;
  TKxCRC16_32* crc = nullptr;
  TKxConvertor* cvHex = nullptr;
  TKxHub* hubByte = nullptr;
  TKxHub* hubCrc = nullptr;
  TKxStream2Hex* s2hReply = nullptr;
  TKxStrCat* scFinalMask = nullptr;
  TKxHub* hubFault = nullptr;
  TKxMMTimer* tmrWatch = nullptr;
  TKxCounter* cntSeconds = nullptr;
  TKxHub* hubBegin = nullptr;
  TKxIf_else* ifTimeout = nullptr;
  TKxAnswerCollector* acReply = nullptr;
  TKxAfterStep* asWatch = nullptr;
  TKxCounter* cntShut = nullptr;
  TKxIf_else* ifRxOpen = nullptr;
  TKxIf_else* ifClickOpen = nullptr;
};

}  // namespace kx
