// Generated scheme: the main window of the tool, with its port, the identification and the
// transfer sub-schemes in their containers.
#pragma once

#include "runtime/pinned.hpp"

namespace kx {

class TKxSimpleForm;
class TKxButton;
class TKxEdit;
class TKxComboBox;
class TKxHub;
class TKxMultiElementEx;
class TKxCommutator;
class TKxComAsync;
class TKxProgressBar;
class TKxDoData;
class TKxLabel;
class TKxEventFromData;
class TKxImage;
class TKxTextHolder;
class TKxTaskState;
class TKxPortWatch;

class TClassSimpleForm_2597650 : Pinned {
 public:
  TClassSimpleForm_2597650();
  ~TClassSimpleForm_2597650();

  TKxSimpleForm* Form = nullptr;
  TKxButton* btnWrite = nullptr;
  TKxEdit* edtStatus = nullptr;
  TKxComboBox* cbxPort = nullptr;
  TKxHub* hubTx = nullptr;
  TKxMultiElementEx* mxIdent = nullptr;
  TKxMultiElementEx* mxFlash = nullptr;
  TKxCommutator* commRx = nullptr;
  TKxComAsync* com = nullptr;
  TKxHub* hubStart = nullptr;
  TKxProgressBar* pbProgress = nullptr;
  TKxHub* hubFound = nullptr;
  TKxDoData* ddPortOff = nullptr;
  TKxHub* hubClose = nullptr;
  TKxLabel* lblVersion = nullptr;
  TKxTextHolder* edtCrc = nullptr;  // the transfer's running CRC, never shown
  TKxLabel* lblCrcRx = nullptr;
  TKxLabel* lblCrc = nullptr;
  TKxHub* hubWriteEn = nullptr;
  TKxEventFromData* efdPort = nullptr;
  TKxHub* hubSelect = nullptr;
  TKxHub* hubDone = nullptr;
  TKxDoData* ddHide = nullptr;
  TKxDoData* ddShow = nullptr;
  TKxHub* hubHide = nullptr;
  TKxHub* hubFormEn = nullptr;
  TKxHub* hubShowOk = nullptr;
  TKxButton* btnOk = nullptr;
  TKxLabel* lblSuccess = nullptr;
  TKxLabel* lblError = nullptr;
  TKxHub* hubSuccess = nullptr;
  TKxDoData* ddShowSuccess = nullptr;
  TKxDoData* ddShowError = nullptr;
  TKxHub* hubFail = nullptr;
  TKxHub* hubShowError = nullptr;
  TKxImage* imgError = nullptr;
  TKxLabel* lblRetry = nullptr;
  TKxEventFromData* efdSucceeded = nullptr;
  TKxDoData* ddSucceeded = nullptr;
  // The transfer as the system sees it: kept awake, progress on the taskbar button.
  TKxHub* hubProgress = nullptr;
  TKxTaskState* tskWrite = nullptr;
  // The port list, filled off the window thread and following plugged adapters until a
  // device is identified.
  TKxPortWatch* pwPorts = nullptr;
};

}  // namespace kx
