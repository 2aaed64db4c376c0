// Generated wiring: elements in creation order with their properties, then the links, then
// the final steps.
#include "schemes/main_scheme.hpp"

#include "elements/flow/commutator.hpp"
#include "elements/flow/do_data.hpp"
#include "elements/flow/event_from_data.hpp"
#include "elements/flow/hub.hpp"
#include "elements/serial/com_async.hpp"
#include "elements/serial/port_watch.hpp"
#include "elements/text/text_holder.hpp"
#include "elements/window/button.hpp"
#include "elements/window/combo_box.hpp"
#include "elements/window/edit.hpp"
#include "elements/window/image.hpp"
#include "elements/window/label.hpp"
#include "elements/window/progress_bar.hpp"
#include "elements/window/simple_form.hpp"
#include "elements/window/task_state.hpp"
#include "runtime/image_layout.hpp"
#include "runtime/multi_element.hpp"
#include "schemes/identification_scheme.hpp"
#include "schemes/scheme_parts.hpp"
#include "schemes/transfer_scheme.hpp"

namespace kx {

namespace {

enum FontKind { kNormal, kLarge, kLargeBold };

void place(WindowElement* w, int left, int top, int width, int height, std::uint8_t color,
           FontKind font, std::uint8_t visible, std::uint8_t ctl3d) {
  w->Left = left;
  w->Top = top;
  w->Width = width;
  w->Height = height;
  w->Color = tk::system_color(color);
  set_font(w->Font, "MS Sans Serif", font == kNormal ? 8 : 10, font == kLargeBold ? 1 : 0, 0, 1);
  w->Visible = visible;
  w->Enabled = 1;
  w->Ctl3D = ctl3d;
}

TKxDoData* new_do_data(std::int32_t value) {
  auto* dd = new TKxDoData();
  set_integer(dd->Data, value);
  return dd;
}

TKxLabel* new_label(WindowElement* parent, std::string caption, std::uint8_t alignment) {
  auto* label = new TKxLabel(parent);
  label->set_caption(std::move(caption));
  label->set_auto_size(1);
  label->set_alignment(alignment);
  return label;
}

}  // namespace

TClassSimpleForm_2597650::TClassSimpleForm_2597650() {
  Form = new TKxSimpleForm();
  place(Form, 200, 200, 503, 162, 15, kNormal, 1, 1);
  Form->set_caption("Magnetoflux bootloader");
  Form->set_icon("ZEDA");
  Form->set_border_style(1);
  Form->set_taskbar_mode(0);
  Form->DragByClient = 1;
  Form->MouseCapture = 0;
  Form->Init();

  btnWrite = new TKxButton(Form);
  place(btnWrite, 5, 50, 85, 30, 15, kNormal, 1, 1);
  btnWrite->Enabled = 0;
  btnWrite->Caption = "\xC7\xE0\xEF\xE8\xF1\xE0\xF2\xFC";  // "Записать"
  set_integer(btnWrite->ClickData, 0);
  btnWrite->DefaultButton = 0;
  btnWrite->Init();

  edtStatus = new TKxEdit(Form);
  place(edtStatus, 110, 10, 320, 25, 22, kNormal, 1, 0);
  // "Выберите порт с подключённым устройством."
  edtStatus->Text =
      "\xC2\xFB\xE1\xE5\xF0\xE8\xF2\xE5 \xEF\xEE\xF0\xF2 \xF1 \xEF\xEE\xE4\xEA\xEB\xFE\xF7\xB8"
      "\xED\xED\xFB\xEC \xF3\xF1\xF2\xF0\xEE\xE9\xF1\xF2\xE2\xEE\xEC.";
  edtStatus->ReadOnly = 1;
  edtStatus->Password = 0;
  edtStatus->Alignment = tk::kTextLeft;
  edtStatus->Init();

  cbxPort = new TKxComboBox(Form);
  place(cbxPort, 10, 10, 85, 24, 5, kNormal, 1, 1);
  cbxPort->SelectSendsText = 1;
  cbxPort->Editable = 1;
  cbxPort->ItemHeight = 20;
  cbxPort->Init();

  hubTx = new_hub(2, 1);

  mxIdent = new TKxMultiElementEx(Form->control());
  mxIdent->onEvent.resize(6);
  mxIdent->dataVar.resize(0);
  mxIdent->owner = this;

  mxFlash = new TKxMultiElementEx(Form->control());
  mxFlash->onEvent.resize(6);
  mxFlash->dataVar.resize(1);
  mxFlash->owner = this;

  commRx = new TKxCommutator();
  commRx->set_OutCount(2);

  com = new TKxComAsync();
  com->Port = "";
  com->Baud = 38462;
  com->DataBits = TKxComAsync::kEightDataBits;
  com->Parity = TKxComAsync::kNoParity;
  com->StopBits = TKxComAsync::kOneStopBit;
  com->DtrControl = TKxComAsync::kLineOff;
  com->RtsControl = TKxComAsync::kLineOff;
  com->InQueue = 4096;
  com->OutQueue = 4096;
  com->AbortOnError = true;
  com->ParityCheck = false;
  com->ErrorReplace = false;
  com->DiscardNull = false;
  com->OutxCtsFlow = false;
  com->OutxDsrFlow = false;
  com->DsrSensitivity = false;
  com->TxContinueOnXoff = false;
  com->InX = false;
  com->OutX = false;
  com->XonChar = 17;
  com->XoffChar = 19;
  com->EventChar = 0;
  com->EvRxChar = true;
  com->EvRxFlag = false;
  com->EvTxEmpty = false;
  com->EvCts = false;
  com->EvDsr = false;
  com->EvRlsd = false;
  com->EvBreak = false;
  com->EvErr = false;
  com->EvRing = false;
  com->EvRx80Full = false;
  com->ReadIntervalTimeout = 0xFFFFFFFFu;
  com->ReadTotalTimeoutMultiplier = 0;
  com->ReadTotalTimeoutConstant = 0;
  com->WriteTotalTimeoutMultiplier = 100;
  com->WriteTotalTimeoutConstant = 1000;
  com->CheckPorts = true;
  com->FlushOnClose = false;

  hubStart = new_hub(1, 4);

  pbProgress = new TKxProgressBar(Form);
  place(pbProgress, 5, 90, 485, 30, 15, kNormal, 1, 0);
  pbProgress->Orientation = 0;
  pbProgress->Smooth = 1;
  pbProgress->Max = image_layout::kLastBlock;
  pbProgress->BarColor = tk::system_color(16);
  pbProgress->Init();

  hubFound = new_hub(1, 3);
  ddPortOff = new_do_data(0);
  hubClose = new_hub(2, 1);

  lblVersion = new TKxLabel(Form);
  place(lblVersion, 110, 55, 272, 20, 15, kNormal, 1, 1);
  // "Версия ПО для обновления:9.1 (VKD7/NKD7)"
  lblVersion->set_caption(
      "\xC2\xE5\xF0\xF1\xE8\xFF \xCF\xCE \xE4\xEB\xFF \xEE\xE1\xED\xEE\xE2\xEB\xE5\xED\xE8\xFF"
      ":9.1 (VKD7/NKD7)");
  lblVersion->set_auto_size(1);
  lblVersion->set_alignment(tk::kTextLeft);
  lblVersion->Init();

  // The running CRC of a transfer lives in this text; it is never seen, so it is held without
  // a window (an edit field's text costs window messages for each byte of the image).
  edtCrc = new TKxTextHolder();
  edtCrc->Text = "FFFF";

  lblCrcRx = new_label(Form, "CRC \xEF\xF0\xE8\xED\xFF\xF2\xFB\xE9:", 0);  // "CRC принятый:"
  place(lblCrcRx, 140, 150, 101, 20, 15, kNormal, 1, 1);
  lblCrcRx->Init();

  lblCrc = new_label(Form, "CRC:", 0);
  place(lblCrc, 10, 150, 35, 20, 15, kNormal, 1, 1);
  lblCrc->Init();

  hubWriteEn = new_hub(2, 1);
  efdPort = new TKxEventFromData();
  hubSelect = new_hub(1, 3);
  hubDone = new_hub(2, 2);
  ddHide = new_do_data(0);
  ddShow = new_do_data(1);
  hubHide = new_hub(1, 5);
  hubFormEn = new_hub(2, 1);
  hubShowOk = new_hub(1, 2);

  btnOk = new TKxButton(Form);
  place(btnOk, 190, 60, 115, 30, 15, kNormal, 0, 1);
  btnOk->Caption = "OK";
  btnOk->DefaultButton = 0;
  btnOk->Init();

  lblSuccess = new TKxLabel(Form);
  place(lblSuccess, 5, 0, 492, 54, 15, kLargeBold, 0, 1);
  // "     ПО успешно обновлено!" CR LF "Сбросте настройки по умолчанию!"
  lblSuccess->set_caption(
      "     \xCF\xCE \xF3\xF1\xEF\xE5\xF8\xED\xEE \xEE\xE1\xED\xEE\xE2\xEB\xE5\xED\xEE!\r\n"
      "\xD1\xE1\xF0\xEE\xF1\xF2\xE5 \xED\xE0\xF1\xF2\xF0\xEE\xE9\xEA\xE8 \xEF\xEE "
      "\xF3\xEC\xEE\xEB\xF7\xE0\xED\xE8\xFE!");
  lblSuccess->set_auto_size(0);
  lblSuccess->set_alignment(tk::kTextCentre);
  lblSuccess->Init();

  // "Ошибка при передаче данных!"
  lblError = new_label(Form,
                       "\xCE\xF8\xE8\xE1\xEA\xE0 \xEF\xF0\xE8 \xEF\xE5\xF0\xE5\xE4\xE0\xF7\xE5 "
                       "\xE4\xE0\xED\xED\xFB\xF5!",
                       2);
  place(lblError, 0, 0, 497, 24, 15, kLarge, 0, 1);
  lblError->Align = WindowElement::kAlignTop;
  lblError->Init();

  hubSuccess = new_hub(1, 4);
  ddShowSuccess = new_do_data(1);
  ddShowError = new_do_data(1);
  hubFail = new_hub(1, 3);
  hubShowError = new_hub(1, 3);

  imgError = new TKxImage(Form);
  place(imgError, 80, 3, 15, 14, 15, kNormal, 0, 1);
  imgError->set_bitmap(tk::load_bitmap("BITMAP0"));
  imgError->set_smooth(1);
  imgError->AutoSize = 0;
  imgError->Init();

  // "Проверьте все соединения и попробуйте ещё раз."
  lblRetry = new_label(Form,
                       "\xCF\xF0\xEE\xE2\xE5\xF0\xFC\xF2\xE5 \xE2\xF1\xE5 \xF1\xEE\xE5\xE4\xE8"
                       "\xED\xE5\xED\xE8\xFF \xE8 \xEF\xEE\xEF\xF0\xEE\xE1\xF3\xE9\xF2\xE5 "
                       "\xE5\xF9\xB8 \xF0\xE0\xE7.",
                       2);
  place(lblRetry, 0, 24, 497, 24, 15, kLarge, 0, 1);
  lblRetry->Align = WindowElement::kAlignTop;
  lblRetry->Init();

  efdSucceeded = new TKxEventFromData();
  ddSucceeded = new_do_data(0);

  hubProgress = new_hub(1, 2);
  tskWrite = new TKxTaskState();
  tskWrite->Max = image_layout::kLastBlock;

  pwPorts = new TKxPortWatch();
  pwPorts->CheckPorts = true;
  pwPorts->Timeout = 1000;

  Form->onCreate = make_link<&TKxPortWatch::doList>(0, pwPorts);
  Form->onClose = make_link<&TKxHub::doEvent>(0, hubClose);
  btnWrite->onClick = make_link<&TKxHub::doEvent>(0, hubStart);
  cbxPort->onClick = make_link<&TKxHub::doEvent>(0, hubSelect);
  hubTx->onEvent[0] = make_link<&TKxComAsync::doWrite>(2, com);
  mxIdent->onEvent[0] = make_link<&TKxHub::doEvent>(0, hubTx);
  mxIdent->onEvent[1] = make_link<&TKxEdit::doText>(0, edtStatus);
  mxIdent->onEvent[2] = make_link<&TKxComAsync::doOpen>(0, com);
  mxIdent->onEvent[4] = make_link<&TKxHub::doEvent>(0, hubFound);
  mxIdent->onEvent[5] = make_link<&TKxCommutator::doWork>(0, commRx);
  mxFlash->onEvent[0] = make_link<&TKxHub::doEvent>(0, hubProgress);
  mxFlash->onEvent[1] = make_link<&TKxHub::doEvent>(1, hubTx);
  mxFlash->onEvent[2] = make_link<&TKxHub::doEvent>(0, hubSuccess);
  mxFlash->onEvent[3] = make_link<&TKxHub::doEvent>(0, hubFail);
  mxFlash->onEvent[4] = make_link<&TKxTextHolder::doText>(0, edtCrc);
  commRx->onEvent[0] = make_link<&TKxMultiElementEx::doWork>(2, mxIdent);
  commRx->onEvent[1] = make_link<&TKxMultiElementEx::doWork>(0, mxFlash);
  com->onRead = make_link<&TKxCommutator::doWork>(0, commRx);
  com->onRxChar = make_link<&TKxComAsync::doRead>(3, com);
  pwPorts->onPortName = make_link<&TKxComboBox::doAdd>(0, cbxPort);
  pwPorts->onItems = make_link<&TKxComboBox::doSetItems>(0, cbxPort);
  com->onOpen = make_link<&TKxMultiElementEx::doWork>(0, mxIdent);
  hubStart->onEvent[0] = make_link<&TKxMultiElementEx::doWork>(1, mxFlash);
  hubStart->onEvent[1] = make_link<&TKxHub::doEvent>(1, hubWriteEn);
  hubStart->onEvent[2] = make_link<&TKxHub::doEvent>(0, hubFormEn);
  hubFound->onEvent[0] = make_link<&TKxDoData::doData>(0, ddPortOff);
  hubFound->onEvent[1] = make_link<&TKxHub::doEvent>(0, hubWriteEn);
  hubFound->onEvent[2] = make_link<&TKxPortWatch::doStop>(0, pwPorts);
  ddPortOff->onEventData = make_link<&TKxComboBox::doEnabled>(7, cbxPort);
  hubClose->onEvent[0] = make_link<&TKxComAsync::doClose>(1, com);
  hubWriteEn->onEvent[0] = make_link<&TKxButton::doEnabled>(0, btnWrite);
  hubSelect->onEvent[0] = make_link<&TKxHub::doEvent>(1, hubClose);
  hubSelect->onEvent[1] = make_link<&TKxEventFromData::doEvent>(0, efdPort);
  hubSelect->onEvent[2] = make_link<&TKxMultiElementEx::doWork>(1, mxIdent);
  hubDone->onEvent[0] = make_link<&TKxDoData::doData>(0, ddHide);
  hubDone->onEvent[1] = make_link<&TKxDoData::doData>(0, ddShow);
  ddHide->onEventData = make_link<&TKxHub::doEvent>(0, hubHide);
  ddShow->onEventData = make_link<&TKxHub::doEvent>(0, hubShowOk);
  hubHide->onEvent[0] = make_link<&TKxComboBox::doVisible>(8, cbxPort);
  hubHide->onEvent[1] = make_link<&TKxEdit::doVisible>(3, edtStatus);
  hubHide->onEvent[2] = make_link<&TKxProgressBar::doVisible>(1, pbProgress);
  hubHide->onEvent[3] = make_link<&TKxButton::doVisible>(1, btnWrite);
  hubHide->onEvent[4] = make_link<&TKxLabel::doVisible>(1, lblVersion);
  hubFormEn->onEvent[0] = make_link<&TKxSimpleForm::doEnabled>(1, Form);
  hubShowOk->onEvent[0] = make_link<&TKxHub::doEvent>(1, hubFormEn);
  hubShowOk->onEvent[1] = make_link<&TKxButton::doVisible>(0, btnOk);
  btnOk->onClick = make_link<&TKxSimpleForm::doClose>(0, Form);
  hubSuccess->onEvent[0] = make_link<&TKxHub::doEvent>(0, hubDone);
  hubSuccess->onEvent[1] = make_link<&TKxDoData::doData>(0, ddSucceeded);
  hubSuccess->onEvent[2] = make_link<&TKxDoData::doData>(0, ddShowSuccess);
  ddShowSuccess->onEventData = make_link<&TKxLabel::doVisible>(1, lblSuccess);
  ddShowError->onEventData = make_link<&TKxHub::doEvent>(0, hubShowError);
  hubFail->onEvent[0] = make_link<&TKxHub::doEvent>(1, hubDone);
  hubFail->onEvent[1] = make_link<&TKxDoData::doData>(0, ddShowError);
  hubShowError->onEvent[0] = make_link<&TKxLabel::doVisible>(1, lblRetry);
  hubShowError->onEvent[1] = make_link<&TKxLabel::doVisible>(1, lblError);
  hubShowError->onEvent[2] = make_link<&TKxImage::doVisible>(2, imgError);
  ddSucceeded->onEventData = make_link<&TKxEventFromData::doEvent>(0, efdSucceeded);
  hubProgress->onEvent[0] = make_link<&TKxProgressBar::doPosition>(0, pbProgress);
  hubProgress->onEvent[1] = make_link<&TKxTaskState::doProgress>(0, tskWrite);
  hubStart->onEvent[3] = make_link<&TKxTaskState::doBusy>(0, tskWrite);
  hubSuccess->onEvent[3] = make_link<&TKxTaskState::doIdle>(0, tskWrite);
  hubFail->onEvent[2] = make_link<&TKxTaskState::doFailed>(0, tskWrite);

  mxFlash->dataVar[0] = make_link<&TKxTextHolder::getText>(0, edtCrc);
  commRx->dataChannel = make_link<&TKxMultiElementEx::getVar>(0, mxIdent);
  com->dataPort = make_link<&TKxEventFromData::getData>(0, efdPort);
  ddShowError->dataData = make_link<&TKxEventFromData::getData>(0, efdSucceeded);
  pwPorts->dataChoice = make_link<&TKxEventFromData::getData>(0, efdPort);

  // Final steps: no layout managers, no hints (no element has a hint text), the sub-schemes
  // built at once, then keyboard navigation for the form.
  Form->set_layout_manager(nullptr);
  for (TKxWin* w : {static_cast<TKxWin*>(btnWrite), static_cast<TKxWin*>(edtStatus),
                    static_cast<TKxWin*>(cbxPort)}) {
    w->set_hint_manager(nullptr);
    w->set_layout_manager(nullptr);
  }
  cbxPort->set_icon_list(nullptr);
  cbxPort->set_draw_item_hook(nullptr);
  cbxPort->set_icon_source_hook(nullptr);
  mxIdent->set_creator(&TClassMultiElementEx_26088F0::create);
  mxFlash->set_creator(&TClassMultiElementEx_2608DC0::create);
  for (TKxWin* w :
       {static_cast<TKxWin*>(pbProgress), static_cast<TKxWin*>(lblVersion),
        static_cast<TKxWin*>(lblCrcRx), static_cast<TKxWin*>(lblCrc), static_cast<TKxWin*>(btnOk),
        static_cast<TKxWin*>(lblSuccess), static_cast<TKxWin*>(lblError),
        static_cast<TKxWin*>(imgError), static_cast<TKxWin*>(lblRetry)}) {
    w->set_hint_manager(nullptr);
    w->set_layout_manager(nullptr);
  }
  Form->control()->enable_tab_navigation();
}

TClassSimpleForm_2597650::~TClassSimpleForm_2597650() {
  delete pwPorts;
  delete tskWrite;
  delete hubProgress;
  delete ddSucceeded;
  delete efdSucceeded;
  delete lblRetry;
  delete imgError;
  delete hubShowError;
  delete hubFail;
  delete ddShowError;
  delete ddShowSuccess;
  delete hubSuccess;
  delete lblError;
  delete lblSuccess;
  delete btnOk;
  delete hubShowOk;
  delete hubFormEn;
  delete hubHide;
  delete ddShow;
  delete ddHide;
  delete hubDone;
  delete hubSelect;
  delete efdPort;
  delete hubWriteEn;
  delete lblCrc;
  delete lblCrcRx;
  delete edtCrc;
  delete lblVersion;
  delete hubClose;
  delete ddPortOff;
  delete hubFound;
  delete pbProgress;
  delete hubStart;
  delete com;
  delete commRx;
  delete mxFlash;
  delete mxIdent;
  delete hubTx;
  delete cbxPort;
  delete edtStatus;
  delete btnWrite;
  delete Form;
}

}  // namespace kx
