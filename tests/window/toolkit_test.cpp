// The headless toolkit's own behaviour that the elements and the whole-tool tests rely on.
#include <gtest/gtest.h>

#include "toolkit/headless/test_api.hpp"
#include "toolkit/toolkit.hpp"

namespace kx {
namespace {

namespace hl = kx::headless;

class Headless : public ::testing::Test {
 protected:
  void SetUp() override {
    hl::reset();
    tk::create_application_window();
    tk::CreateOptions f;
    f.kind = tk::Kind::Form;
    form = tk::create_window(f);
    form->set_size(503, 162);
    form->set_visible(true);
  }
  void TearDown() override {
    form.reset();
    hl::reset();
  }
  std::unique_ptr<tk::Window> make(tk::Kind kind) {
    tk::CreateOptions o;
    o.kind = kind;
    o.parent = form.get();
    auto w = tk::create_window(o);
    w->set_visible(true);
    return w;
  }
  std::unique_ptr<tk::Window> form;
};

TEST_F(Headless, TypingEditsAtTheCaretAndEveryChangeIsNotified) {
  auto edit = make(tk::Kind::Edit);
  int changes = 0;
  edit->set_handler([&changes](tk::Message& m) { changes += m.id == tk::Msg::Change; });
  edit->set_text("ac");
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(edit->caret(), 0);
  hl::press_key(*edit, 39);  // right
  hl::type_text(*edit, "b");
  hl::press_key(*edit, 35);  // end
  hl::press_key(*edit, 8);   // backspace
  EXPECT_EQ(edit->text(), "ab");
  EXPECT_EQ(changes, 3);
  edit->set_text("ab");
  EXPECT_EQ(changes, 4) << "setting the same text is still a change";
}

TEST_F(Headless, ComboItemsKeepNumbersAndSelectionThroughInsertsAndDeletes) {
  tk::CreateOptions o;
  o.kind = tk::Kind::ComboBox;
  o.parent = form.get();
  o.sorted = true;
  auto combo = tk::create_window(o);
  combo->add_item("COM3");
  combo->add_item("com1");
  combo->add_item("COM2");
  EXPECT_EQ(hl::items(*combo), (std::vector<std::string>{"com1", "COM2", "COM3"}));
  combo->set_item_data(2, 9);
  combo->select(2);
  EXPECT_EQ(combo->text(), "COM3");
  combo->delete_item(0);
  EXPECT_EQ(combo->selection(), 1);
  EXPECT_EQ(combo->item_data(1), 9);
  EXPECT_EQ(combo->item_data(2), -1);
  EXPECT_EQ(combo->insert_item(5, "x"), -1);
  combo->delete_item(1);
  EXPECT_EQ(combo->selection(), -1);
}

TEST_F(Headless, FramedFormClientAreaAndTopAlignedControls) {
  form->set_style(tk::kStyleCaption | tk::kStyleMinimizeBox | tk::kStyleSysMenu);
  EXPECT_EQ(form->client_size().width, 497);
  EXPECT_EQ(form->client_size().height, 134);
  auto label = make(tk::Kind::Label);
  label->set_position(40, 24);
  label->set_size(10, 24);
  label->set_align(2);
  EXPECT_EQ(label->rect(), (tk::Rect{0, 24, 497, 24}));
  form->set_style(0);
  form->set_size(300, 100);
  EXPECT_EQ(label->rect().width, 300) << "the aligned control follows the parent's size";
}

TEST_F(Headless, DestroyingAFormKillsItsControlsButKeepsTheirObjects) {
  auto button = make(tk::Kind::Button);
  bool destroyed = false;
  button->set_handler([&destroyed](tk::Message& m) { destroyed |= m.id == tk::Msg::Destroy; });
  form.reset();
  EXPECT_TRUE(destroyed);
  EXPECT_FALSE(button->alive());
  EXPECT_EQ(button->parent(), nullptr);
  EXPECT_FALSE(hl::click(*button));
  button->set_text("ignored");
  EXPECT_EQ(button->text(), "");
}

}  // namespace
}  // namespace kx
