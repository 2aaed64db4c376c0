// Button, edit, label, progress bar and image on the headless toolkit.
#include "elements/window/button.hpp"
#include "elements/window/edit.hpp"
#include "elements/window/image.hpp"
#include "elements/window/label.hpp"
#include "elements/window/progress_bar.hpp"
#include "runtime/image_layout.hpp"
#include "tests/window/window_fixture.hpp"

namespace kx::testing {
namespace {

namespace hl = kx::headless;

struct Clobber {
  void doEvent(TData& d, std::uint16_t) { set_string(d, "changed"); }
};

using Button = WindowTest;

TEST_F(Button, EveryClickFiresAFreshCopyOfClickData) {
  Clobber clobber;
  auto& button = add<TKxButton>();
  button.Caption = "\xc7\xe0\xef\xe8\xf1\xe0\xf2\xfc";
  set_integer(button.ClickData, 0);
  button.onClick = make_link<&Clobber::doEvent>(0, &clobber);
  button.Init();
  start();
  tk::Window* w = hl::find_window("\xc7\xe0\xef\xe8\xf1\xe0\xf2\xfc", tk::Kind::Button);
  ASSERT_EQ(w, button.control());
  ASSERT_TRUE(hl::click(*w));
  EXPECT_EQ(button.ClickData.kind, kInteger);
  EXPECT_EQ(button.ClickData.int_value, 0);

  Sink sink;
  button.onClick = sink.link();
  ASSERT_TRUE(hl::click(*w));
  ASSERT_EQ(sink.got.size(), 1u);
  EXPECT_EQ(sink.got[0].kind, kInteger);
  EXPECT_EQ(sink.got[0].integer, 0);
}

TEST_F(Button, AClickOnADisabledWindowDoesNotReachTheButton) {
  Sink sink;
  auto& button = add<TKxButton>();
  button.onClick = sink.link();
  button.Init();
  start();
  TData off;
  set_integer(off, 0);
  form->doEnabled(off, 0);
  EXPECT_FALSE(hl::click(*button.control()));
  EXPECT_TRUE(sink.got.empty());
}

class Edit : public WindowTest {
 protected:
  TKxEdit& make_edit(const char* text) {
    TKxEdit& e = add<TKxEdit>();
    e.Text = text;
    e.Width = 100;
    e.Height = 20;
    e.onChange = changes.link();
    e.Init();
    return e;
  }
  Sink changes;
};

struct EnterNoText {
  Sink sink;
  void doEvent(TData& d, std::uint16_t i) { sink.doEvent(d, i); }
};

struct EnterSetsText {
  TKxEdit* edit = nullptr;
  std::vector<std::string> seen;
  void doEvent(TData& d, std::uint16_t) {
    seen.push_back(d.str_value);
    TData t;
    set_string(t, "answer");
    edit->doText(t, 0);
  }
};

TEST_F(Edit, EnterEmptiesTheBoxWithoutReportingTheEmptyingAndTheNextKeyIsReported) {
  EnterNoText enter;
  TKxEdit& edit = make_edit("");
  edit.onEnter = make_link<&EnterNoText::doEvent>(0, &enter);
  start();
  ASSERT_TRUE(hl::type_text(*edit.control(), "ab"));
  ASSERT_EQ(changes.got.size(), 2u);
  EXPECT_EQ(changes.got[1].text, "ab");
  Sink chars;
  edit.onKeyChar = chars.link();
  ASSERT_TRUE(hl::press_key(*edit.control(), 13));
  ASSERT_EQ(enter.sink.got.size(), 1u);
  EXPECT_EQ(enter.sink.got[0].text, "ab");
  EXPECT_EQ(edit.control()->text(), "");
  EXPECT_EQ(changes.got.size(), 2u) << "the emptying is not reported";
  EXPECT_TRUE(chars.got.empty()) << "the swallowed Enter types no character";
  ASSERT_TRUE(hl::type_text(*edit.control(), "c"));
  ASSERT_EQ(changes.got.size(), 3u);
  EXPECT_EQ(changes.got[2].text, "c");
}

TEST_F(Edit, EnterOnAnEmptyBoxStillLetsTheNextChangeThrough) {
  EnterNoText enter;
  TKxEdit& edit = make_edit("");
  edit.onEnter = make_link<&EnterNoText::doEvent>(0, &enter);
  start();
  ASSERT_TRUE(hl::press_key(*edit.control(), 13));
  EXPECT_EQ(enter.sink.got.size(), 1u);
  ASSERT_TRUE(hl::type_text(*edit.control(), "x"));
  ASSERT_EQ(changes.got.size(), 1u);
  EXPECT_EQ(changes.got[0].text, "x");
}

TEST_F(Edit, EnterWhoseHandlerSetsATextKeepsThatText) {
  EnterSetsText enter;
  TKxEdit& edit = make_edit("question");
  enter.edit = &edit;
  edit.onEnter = make_link<&EnterSetsText::doEvent>(0, &enter);
  start();
  ASSERT_TRUE(hl::press_key(*edit.control(), 13));
  EXPECT_EQ(enter.seen, std::vector<std::string>{"question"});
  EXPECT_EQ(edit.control()->text(), "answer");
  ASSERT_EQ(changes.got.size(), 1u) << "doText's change is reported like any other";
  EXPECT_EQ(changes.got[0].text, "answer");
}

TEST_F(Edit, EnterWithoutOnEnterGoesToTheKeyEvents) {
  Sink keys;
  TKxEdit& edit = make_edit("keep");
  edit.onKeyDown = keys.link();
  start();
  ASSERT_TRUE(hl::press_key(*edit.control(), 13));
  EXPECT_EQ(edit.control()->text(), "keep");
  ASSERT_EQ(keys.got.size(), 1u);
  EXPECT_EQ(keys.got[0].integer, 13);
}

TEST_F(Edit, DoTextTakesDataTextAndKeepsTheCaret) {
  Source source;
  set_string(source.value, "from the input");
  TKxEdit& edit = make_edit("FFFF");
  start();
  edit.control()->set_caret(2);
  TData d;
  set_string(d, "from the event");
  edit.doText(d, 0);
  EXPECT_EQ(edit.control()->text(), "from the event");
  EXPECT_EQ(edit.control()->caret(), 2);
  edit.dataText = source.link();
  set_string(d, "ignored");
  edit.doText(d, 0);
  EXPECT_EQ(edit.control()->text(), "from the input");

  TData out;
  edit.getText(out, 0);
  EXPECT_EQ(out.kind, kString);
  EXPECT_EQ(out.str_value, "from the input");
  edit.text_source.method = [](void*, TData&) { return false; };
  set_integer(out, 5);
  edit.getText(out, 0);
  EXPECT_EQ(out.kind, kNull);
}

TEST_F(Edit, ReadOnlyBoxIgnoresTyping) {
  TKxEdit& edit = add<TKxEdit>();
  edit.ReadOnly = 1;
  edit.Text = "status";
  edit.Init();
  start();
  EXPECT_TRUE(hl::read_only(*edit.control()));
  ASSERT_TRUE(hl::type_text(*edit.control(), "zz"));
  EXPECT_EQ(edit.control()->text(), "status");
}

using Label = WindowTest;

TEST_F(Label, AutoSizeFollowsTheTextExceptWhereAlignFixesTheSize) {
  auto& free = add<TKxLabel>();
  free.Left = 110;
  free.Top = 55;
  free.Width = 272;
  free.Height = 20;
  free.Caption = "CRC:";
  set_font(free.Font, "MS Sans Serif", 8, 0, 0, 1);
  free.set_auto_size(1);
  free.Init();
  const tk::Extent text = free.control()->measure_text("CRC:");
  EXPECT_EQ(free.control()->rect(), (tk::Rect{110, 55, text.width + 1, text.height + 1}));

  auto& top = add<TKxLabel>();
  top.Width = 100;
  top.Height = 24;
  top.Align = 2;
  top.Caption = "two\r\nlines";
  set_font(top.Font, "MS Sans Serif", 10, 0, 0, 1);
  top.set_auto_size(1);
  top.Init();
  start();
  const tk::Extent two = top.control()->measure_text("two\r\nlines");
  EXPECT_EQ(top.control()->rect().width, form->control()->client_size().width);
  EXPECT_EQ(top.control()->rect().height, two.height + 1);

  auto& italic = add<TKxLabel>();
  italic.Caption = "ab";
  set_font(italic.Font, "MS Sans Serif", 8, 2, 0, 1);
  italic.set_auto_size(1);
  italic.Init();
  EXPECT_EQ(italic.control()->rect().width, italic.control()->measure_text("ab ").width + 1);
}

TEST_F(Label, WithoutAutoSizeTheDesignSizeStaysAndAlignmentWraps) {
  auto& label = add<TKxLabel>();
  label.Width = 492;
  label.Height = 54;
  label.Caption = "     line one\r\nline two";
  label.set_alignment(2);
  label.Init();
  start();
  EXPECT_EQ(label.control()->rect().width, 492);
  EXPECT_EQ(label.control()->rect().height, 54);
  EXPECT_EQ(hl::alignment(*label.control()), 2);
  EXPECT_TRUE(hl::word_wrap(*label.control()));
}

TEST_F(Label, HoverColourComesAndGoesAndZeroKeepsTheColour) {
  auto& plain = add<TKxLabel>();
  set_font(plain.Font, "MS Sans Serif", 8, 0, 0x00112233, 1);
  plain.Init();
  auto& hover = add<TKxLabel>();
  set_font(hover.Font, "MS Sans Serif", 8, 0, 0x00112233, 1);
  hover.HoverColor = 0x000000FF;
  hover.HoverUnderline = 1;
  hover.Init();
  Sink clicks;
  hover.onClick = clicks.link();
  start();
  hl::mouse_move(*plain.control(), 1, 1);
  EXPECT_EQ(hl::font(*plain.control()).color, 0x00112233u);
  hl::mouse_move(*hover.control(), 1, 1);
  EXPECT_EQ(hl::font(*hover.control()).color, 0x000000FFu);
  EXPECT_EQ(hl::font(*hover.control()).style_bits & 4, 4);
  hl::mouse_leave(*hover.control());
  EXPECT_EQ(hl::font(*hover.control()).color, 0x00112233u);
  EXPECT_EQ(hl::font(*hover.control()).style_bits & 4, 0);
  ASSERT_TRUE(hl::click(*hover.control()));
  ASSERT_EQ(clicks.got.size(), 1u);
  EXPECT_EQ(clicks.got[0].kind, kNull);
}

using ProgressBar = WindowTest;

TEST_F(ProgressBar, PositionComesFromTheEventValueAndIsClamped) {
  auto& bar = add<TKxProgressBar>();
  bar.Max = image_layout::kLastBlock;
  bar.Smooth = 1;
  bar.BarColor = tk::system_color(16);
  bar.Init();
  start();
  EXPECT_EQ(hl::progress_max(*bar.control()), image_layout::kLastBlock);
  EXPECT_EQ(hl::bar_color(*bar.control()), tk::resolve_color(tk::system_color(16)));
  TData d;
  set_string(d, "12");
  bar.doPosition(d, 0);
  EXPECT_EQ(hl::progress_position(*bar.control()), 12);
  set_integer(d, image_layout::kLastBlock);
  bar.doPosition(d, 0);
  EXPECT_EQ(hl::progress_position(*bar.control()), image_layout::kLastBlock);
  set_integer(d, 600);
  bar.doPosition(d, 0);
  EXPECT_EQ(hl::progress_position(*bar.control()), image_layout::kLastBlock);
  set_null(d);
  bar.doPosition(d, 0);
  EXPECT_EQ(hl::progress_position(*bar.control()), 0);
}

class Image : public WindowTest {
 protected:
  TKxImage& make_image(int w, int h, int bw, int bh) {
    TKxImage& image = add<TKxImage>();
    image.Width = w;
    image.Height = h;
    image.Color = tk::system_color(15);
    if (bw > 0) image.set_bitmap(hl::make_bitmap(bw, bh));
    image.set_smooth(1);
    image.Init();
    return image;
  }
  static hl::PaintOp stretch_of(const std::vector<hl::PaintOp>& ops) {
    for (const auto& op : ops)
      if (op.kind == hl::PaintOp::Stretch) return op;
    ADD_FAILURE() << "no stretch";
    return {};
  }
};

TEST_F(Image, ErrorPictureInItsSmallBoxFillsTheWidth) {
  TKxImage& image = make_image(15, 14, 290, 290);
  start();
  const auto ops = hl::paint(*image.control());
  const hl::PaintOp s = stretch_of(ops);
  EXPECT_EQ(s.rect, (tk::Rect{0, 0, 15, 14}));
  EXPECT_EQ(s.stretch_mode, tk::kStretchHalftone);
  EXPECT_EQ(s.bitmap_width, 290);
  ASSERT_EQ(ops.size(), 3u);
  EXPECT_EQ(ops[0].rect.width, 0) << "zero-width side bands";
  EXPECT_EQ(ops[1].rect.width, 0);
}

TEST_F(Image, MarginsRoundHalfToEven) {
  // 15 x 10 box, square picture: (15 - 10) / 2 = 2.5 gives 2, not 3.
  TKxImage& wide = make_image(15, 10, 50, 50);
  // 10 x 17 box: (17 - 10) / 2 = 3.5 gives 4.
  TKxImage& tall = make_image(10, 17, 50, 50);
  start();
  const auto wide_ops = hl::paint(*wide.control());
  EXPECT_EQ(stretch_of(wide_ops).rect, (tk::Rect{2, 0, 11, 10}));
  EXPECT_EQ(wide_ops[0].rect, (tk::Rect{0, 0, 2, 10}));
  EXPECT_EQ(wide_ops[1].rect, (tk::Rect{13, 0, 2, 10}));
  EXPECT_EQ(wide_ops[0].color, tk::resolve_color(tk::system_color(15)));
  const auto tall_ops = hl::paint(*tall.control());
  EXPECT_EQ(stretch_of(tall_ops).rect, (tk::Rect{0, 4, 10, 9}));
  EXPECT_EQ(tall_ops[1].rect, (tk::Rect{0, 13, 10, 4}));
}

TEST_F(Image, WithoutABitmapOnlyTheBackgroundIsPaintedAndANullBitmapIsIgnored) {
  TKxImage& image = make_image(20, 20, 0, 0);
  image.set_bitmap(nullptr);
  start();
  const auto ops = hl::paint(*image.control());
  ASSERT_EQ(ops.size(), 1u);
  EXPECT_EQ(ops[0].kind, hl::PaintOp::Fill);
  EXPECT_EQ(ops[0].rect, (tk::Rect{0, 0, 20, 20}));

  auto& sized = add<TKxImage>();
  sized.AutoSize = 1;
  sized.set_bitmap(hl::make_bitmap(29, 31));
  sized.set_bitmap(nullptr);
  sized.Init();
  EXPECT_EQ(sized.control()->rect().width, 29);
  EXPECT_EQ(sized.control()->rect().height, 31);
}

}  // namespace
}  // namespace kx::testing

namespace kx::testing {
namespace {

namespace hl = kx::headless;

TEST(Bitmaps, TheErrorPictureResourceLoadsWithItsSizeAndAMissingOneGivesNone) {
  std::unique_ptr<tk::Bitmap> picture = tk::load_bitmap("BITMAP0");
  ASSERT_NE(picture, nullptr);
  EXPECT_EQ(picture->width(), 290);
  EXPECT_EQ(picture->height(), 290);
  EXPECT_EQ(tk::load_bitmap("NO_SUCH_BITMAP"), nullptr);
}

TEST(Fonts, AFaceNameKeepsAtMost31Characters) {
  TFontRec f;
  set_font(f, std::string(40, 'F'), 10, 1, 0x8000000F, 1);
  EXPECT_EQ(f.face.size(), 31u);
  EXPECT_EQ(f.points, 10);
  EXPECT_EQ(f.color, 0x8000000Fu);
}

using Hints = WindowTest;

TEST_F(Hints, OnlyAControlWithAHintOrAManagerGetsARegistrationAndLosesItWithTheElement) {
  TKxHintManager& manager = hint_manager();
  const std::size_t before = manager.registrations();
  auto& silent = add<TKxButton>();
  silent.Init();
  silent.set_hint_manager(nullptr);
  EXPECT_EQ(manager.registrations(), before);

  TKxHintManager own;
  own.Tracking = 1;
  auto& hinted = add<TKxButton>();
  hinted.Hint = "write the image";
  hinted.Init();
  hinted.set_hint_manager(&own);
  start();
  ASSERT_EQ(own.registrations(), 1u);
  ASSERT_EQ(hl::tool_tips().size(), 1u);
  EXPECT_TRUE(hl::tool_tips()[0].style.tracking);
  hl::mouse_move(*hinted.control(), 3, 4);
  EXPECT_EQ(hl::tool_tips()[0].x, 3);
  EXPECT_EQ(hl::tool_tips()[0].y, 4);
  controls.pop_back();
  EXPECT_EQ(own.registrations(), 0u);
  EXPECT_EQ(manager.registrations(), before);
  EXPECT_TRUE(hl::tool_tips().empty());
}

TEST_F(Hints, AControlWithAHintGetsAToolTipWithItsTextAndAHintSetLaterShows) {
  auto& hinted = add<TKxButton>();
  hinted.Hint = "\xc7\xe0\xef\xe8\xf1\xe0\xf2\xfc";
  hinted.Init();
  hinted.set_hint_manager(nullptr);
  auto& plain = add<TKxEdit>();
  plain.Init();
  plain.set_hint_manager(nullptr);
  start();
  auto tips = hl::tool_tips();
  ASSERT_EQ(tips.size(), 1u);
  EXPECT_EQ(tips[0].control, hinted.control());
  EXPECT_EQ(tips[0].text, "\xc7\xe0\xef\xe8\xf1\xe0\xf2\xfc");
  EXPECT_FALSE(tips[0].style.balloon);
  EXPECT_EQ(tips[0].style.back_color, tk::system_color(24));
  EXPECT_EQ(tips[0].style.font.face, "Tahoma");

  hinted.set_Hint("write the image");
  plain.set_Hint("the port's answer");
  tips = hl::tool_tips();
  ASSERT_EQ(tips.size(), 2u);
  EXPECT_EQ(tips[0].control, hinted.control());
  EXPECT_EQ(tips[0].text, "write the image");
  EXPECT_EQ(tips[1].control, plain.control());
  EXPECT_EQ(tips[1].text, "the port's answer");
}

}  // namespace
}  // namespace kx::testing
