// Generated sub-scheme: the firmware transfer with CRC acknowledgements and a watchdog.
#pragma once

#include "runtime/multi_element.hpp"

namespace kx {

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
};

}  // namespace kx
