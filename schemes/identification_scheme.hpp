// Generated sub-scheme: device identification on the chosen port.
#pragma once

#include "runtime/multi_element.hpp"

namespace kx {

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
