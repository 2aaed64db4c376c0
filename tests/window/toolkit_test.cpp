// The headless toolkit's own behaviour that the elements and the whole-tool tests rely on.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "toolkit/bmp_reader.hpp"
#include "toolkit/dpi.hpp"
#include "toolkit/headless/test_api.hpp"
#include "toolkit/style_bits.hpp"
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

// The scaling rule both toolkits share: the nearest pixel, halves away from zero (font heights
// are negative), back to design pixels to the nearest, and a measure rounded up so that the
// control made from it holds the text.
TEST(Scaling, DesignPixelsToTheScreenAndBack) {
  struct Case {
    int design, dpi, screen;
  };
  for (const Case c :
       {Case{85, 144, 128}, Case{5, 144, 8}, Case{-11, 144, -17}, Case{1, 120, 1}, Case{2, 120, 3},
        Case{-13, 120, -16}, Case{503, 96, 503}, Case{0, 192, 0}, Case{7, 72, 5}}) {
    SCOPED_TRACE(::testing::Message() << c.design << " at " << c.dpi);
    EXPECT_EQ(tk::to_screen(c.design, c.dpi), c.screen);
    if (c.dpi >= 96) {
      EXPECT_EQ(tk::to_design(c.screen, c.dpi), c.design);
    }
  }
  EXPECT_EQ(tk::to_design(127, 144), 85);
  EXPECT_EQ(tk::to_design_covering(127, 144), 85);
  EXPECT_EQ(tk::to_design_covering(128, 144), 86);
  EXPECT_GE(tk::to_screen(tk::to_design_covering(128, 144), 144), 128);
  EXPECT_EQ(tk::to_design_covering(0, 144), 0);
}

// A text measured in design pixels covers the text as the screen shows it, at the form's
// resolution and after the form moved to a monitor of another one; design placements stay.
TEST_F(Headless, MeasuredTextsCoverTheScreenAtEveryResolution) {
  for (const int dpi : {96, 120, 144, 192}) {
    SCOPED_TRACE(dpi);
    hl::set_screen_dpi(dpi);
    tk::CreateOptions f;
    f.kind = tk::Kind::Form;
    auto scaled = tk::create_window(f);
    tk::CreateOptions o;
    o.kind = tk::Kind::Label;
    o.parent = scaled.get();
    auto label = tk::create_window(o);
    label->set_position(5, 7);
    for (const int monitor : {dpi, 2 * dpi - 24}) {
      hl::move_to_monitor(*scaled, monitor);
      EXPECT_EQ(hl::dpi(*label), monitor);
      for (const bool bold : {false, true}) {
        tk::Font font = hl::font(*label);
        font.height = bold ? -13 : -11;
        font.style_bits = bold ? 1 : 0;
        label->set_font(font);
        for (std::string text = "\xC6"; text.size() <= 48; text += "\xE6") {
          label->set_text(text);
          const tk::Extent e = label->measure_text(text);
          label->set_size(e.width, e.height);
          const tk::Extent t = hl::screen_text_extent(*label);
          const tk::Rect s = hl::screen_rect(*label);
          ASSERT_GE(s.width, t.width) << text.size() << " characters at " << monitor;
          ASSERT_GE(s.height, t.height) << text.size() << " characters at " << monitor;
        }
      }
      EXPECT_EQ(label->rect().left, 5);
      EXPECT_EQ(label->rect().top, 7);
    }
  }
}

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
  hl::set_style(*form, tk::kStyleCaption | tk::kStyleMinimizeBox | tk::kStyleSysMenu);
  EXPECT_EQ(form->client_size().width, 497);
  EXPECT_EQ(form->client_size().height, 134);
  auto label = make(tk::Kind::Label);
  label->set_position(40, 24);
  label->set_size(10, 24);
  label->set_align(2);
  EXPECT_EQ(label->rect(), (tk::Rect{0, 24, 497, 24}));
  hl::set_style(*form, 0);
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

namespace kx {
namespace {

// A 3x2 bitmap, 24 bits per pixel: rows of 9 bytes padded to 12.
std::vector<std::uint8_t> bmp_file(std::int32_t height = 2) {
  std::vector<std::uint8_t> b(14 + 40 + 12 * 2, 0);
  const auto put32 = [&](std::size_t at, std::uint32_t v) {
    for (std::size_t i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
  };
  b[0] = 'B';
  b[1] = 'M';
  put32(2, static_cast<std::uint32_t>(b.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, 3);
  put32(22, static_cast<std::uint32_t>(height));
  b[26] = 1;
  b[28] = 24;
  return b;
}

TEST(BmpReader, AcceptsWholeBitmapsAndRefusesEachMalformedPartWithAReason) {
  struct Case {
    const char* name;
    void (*change)(std::vector<std::uint8_t>&);
    bool accepted;
  };
  const Case cases[] = {
      {"whole file", [](std::vector<std::uint8_t>&) {}, true},
      {"bare info header", [](std::vector<std::uint8_t>& b) { b.erase(b.begin(), b.begin() + 14); },
       true},
      {"one pixel byte short", [](std::vector<std::uint8_t>& b) { b.pop_back(); }, false},
      {"headers cut", [](std::vector<std::uint8_t>& b) { b.resize(30); }, false},
      {"empty", [](std::vector<std::uint8_t>& b) { b.clear(); }, false},
      {"unknown header size", [](std::vector<std::uint8_t>& b) { b[14] = 12; }, false},
      {"zero width", [](std::vector<std::uint8_t>& b) { b[18] = 0; }, false},
      {"lowest height",
       [](std::vector<std::uint8_t>& b) { b[22] = b[23] = b[24] = 0, b[25] = 0x80; }, false},
      {"odd bits per pixel", [](std::vector<std::uint8_t>& b) { b[28] = 7; }, false},
      // A colour count that, times four, wraps a 32-bit size back into range.
      {"huge colour table",
       [](std::vector<std::uint8_t>& b) { b[46] = b[47] = b[48] = b[49] = 0x40; }, false},
      {"pixels past the end", [](std::vector<std::uint8_t>& b) { b[11] = 0x10; }, false},
      {"pixels inside the headers", [](std::vector<std::uint8_t>& b) { b[10] = 20; }, false},
      {"rows wider than the data", [](std::vector<std::uint8_t>& b) { b[21] = 0x7f; }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::uint8_t> bytes = bmp_file();
    c.change(bytes);
    const tk::BmpLayout l = tk::read_bmp(bytes);
    EXPECT_EQ(l.ok(), c.accepted) << (l.error != nullptr ? l.error : "");
    if (c.accepted) {
      EXPECT_EQ(l.width, 3);
      EXPECT_EQ(l.rows, 2);
      EXPECT_EQ(l.bits_at + 24, bytes.size());
    } else {
      EXPECT_NE(l.error, nullptr);
    }
  }
  const tk::BmpLayout top_down = tk::read_bmp(bmp_file(-2));
  EXPECT_TRUE(top_down.ok());
  EXPECT_TRUE(top_down.top_down);
  EXPECT_EQ(top_down.rows, 2);
}

}  // namespace
}  // namespace kx
