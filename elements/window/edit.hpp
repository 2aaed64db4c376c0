// TKxEdit: a single-line edit box. Enter (with onEnter connected) reports the text and empties
// the box unless the handler set a new text; text changes are reported by onChange.
#pragma once

#include <string>

#include "elements/window/win.hpp"

namespace kx {

class TKxEdit : public TKxWin {
 public:
  explicit TKxEdit(WindowElement* parent);

  // The routine that writes the current text into a record and answers true.
  struct TextSource {
    bool (*method)(void* object, TData& out) = nullptr;
    void* object = nullptr;
  };

  std::uint8_t report_changes = 1;       // 0 for the one change notification after Enter
  std::uint8_t enter_clear_pending = 0;  // set while onEnter fires; doText clears it
  TextSource text_source;                // defaults to the element's own text reader
  std::uint8_t Password = 0;
  std::string Text;  // initial text
  std::uint8_t ReadOnly = 0;
  std::uint8_t Alignment = 0;  // 0 left, 1 right, 2 centre
  EventLink dataText;
  EventLink onEnter;
  EventLink onChange;

  // Sets the text (from dataText, else the event's own value), keeping the caret position.
  void doText(TData& d, std::uint16_t index);
  // The current text as a String; NULL when the text source answers false.
  void getText(TData& d, std::uint16_t index);

  void Init() override;

  // The element's own text reader (the value of text_source this tool uses).
  static bool read_own_text(void* self, TData& out);

 protected:
  void key_down(std::int32_t& key) override;
  void handle_message(tk::Message& m) override;

 private:
  bool read_text(TData& out) const;
  bool change_handler_ = false;
};

}  // namespace kx
