// The kinds of Win32 window, each a thin class that makes its system window and handles the
// messages only it has, leaving the rest to Win32Window::on_message:
//   ApplicationWindow  application_window_win32.cpp  the hidden owner of the forms: the
//                      taskbar button, the hand-over of tasks, the device-change notice
//   FormWindow         form_window_win32.cpp         a top-level form: minimising, the screen
//                      resolution changing
//   TopWindow          top_window_win32.cpp          what both have: their controls'
//                      notifications and colours, the background
//   ControlWindow      control_window_win32.cpp      a standard control (button, edit, label,
//                      progress bar)
//   ImageWindow        image_window_win32.cpp        a static control painted by its handler
//   ComboBoxWindow     combo_box_window_win32.cpp    a combo box, and ComboEdit, the edit
//                      field of an editable one, whose keys are the combo box's
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "runtime/pinned.hpp"
#include "toolkit/win32/win32_window.hpp"

namespace kx::win32 {

class TopWindow : public Win32Window {
 public:
  LRESULT on_message(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) override;

 protected:
  using Win32Window::Win32Window;
};

class ApplicationWindow final : public TopWindow {
 public:
  explicit ApplicationWindow(const tk::CreateOptions& options);
  LRESULT on_message(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) override;
};

class FormWindow final : public TopWindow {
 public:
  explicit FormWindow(const tk::CreateOptions& options);
  LRESULT on_message(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) override;
};

class ControlWindow : public Win32Window {
 public:
  ControlWindow(const tk::CreateOptions& options, const wchar_t* window_class, DWORD style);
  LRESULT on_message(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) override;
};

class ImageWindow final : public ControlWindow {
 public:
  explicit ImageWindow(const tk::CreateOptions& options);
  LRESULT on_message(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  void paint();
};

// The edit field of an editable combo box, subclassed: its keys go to the combo box's handler,
// everything else to the edit itself.
class ComboEdit final : public MessageTarget, Pinned {
 public:
  ComboEdit(Win32Window& combo, HWND edit);
  ~ComboEdit() override;
  LRESULT on_message(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) override;
  Win32Window& window() override { return combo_; }
  HWND hwnd() const { return hwnd_; }

 private:
  void release();

  Win32Window& combo_;
  HWND hwnd_;
  WNDPROC original_;
};

class ComboBoxWindow final : public ControlWindow {
 public:
  explicit ComboBoxWindow(const tk::CreateOptions& options);

 protected:
  HWND focus_hwnd() const override;

 private:
  std::unique_ptr<ComboEdit> edit_;
};

}  // namespace kx::win32
