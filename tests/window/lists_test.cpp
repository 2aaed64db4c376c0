// The combo box: items from events, the deferred selection report, the list as text.
#include "elements/window/combo_box.hpp"
#include "tests/window/window_fixture.hpp"

namespace kx::testing {
namespace {

namespace hl = kx::headless;

class Combo : public WindowTest {
 protected:
  TKxComboBox& make_combo(std::uint8_t sends_text, const char* items = "") {
    TKxComboBox& c = add<TKxComboBox>();
    c.Left = 10;
    c.Top = 10;
    c.Width = 85;
    c.Height = 24;
    c.SelectSendsText = sends_text;
    c.Editable = 1;
    c.ItemHeight = 20;
    c.ItemsText = items;
    c.onClick = clicks.link();
    c.onChange = changes.link();
    c.Init();
    return c;
  }
  // Through a link, as a scheme calls it: the firing loop follows doAdd's continuation.
  static void add_text(TKxComboBox& c, const char* text) {
    fire_string(make_link<&TKxWinList::doAdd>(0, &c), text);
  }
  Sink clicks;
  Sink changes;
};

TEST_F(Combo, AChoiceIsReportedOnlyWhenTheQueueRunsWithTextAndNumber) {
  TKxComboBox& c = make_combo(1);
  start();
  add_text(c, "COM1");
  add_text(c, "COM7");
  EXPECT_EQ(changes.got.size(), 2u);
  ASSERT_TRUE(hl::choose_item(*c.control(), "COM7"));
  EXPECT_TRUE(clicks.got.empty()) << "the report waits for the control to finish";
  hl::drain();
  ASSERT_EQ(clicks.got.size(), 1u);
  EXPECT_EQ(clicks.got[0].kind, kString);
  EXPECT_EQ(clicks.got[0].text, "COM7");
  ASSERT_TRUE(clicks.got[0].chained);
  EXPECT_EQ(clicks.got[0].next_kind, kInteger);
  EXPECT_EQ(clicks.got[0].next_integer, 0);
}

TEST_F(Combo, ChoosingTheSameItemTwiceReportsTwice) {
  TKxComboBox& c = make_combo(1, "COM3\r\nCOM4");
  start();
  ASSERT_TRUE(hl::choose_item(*c.control(), 0));
  hl::drain();
  ASSERT_TRUE(hl::choose_item(*c.control(), 0));
  hl::drain();
  ASSERT_EQ(clicks.got.size(), 2u);
  EXPECT_EQ(clicks.got[1].text, "COM3");
}

TEST_F(Combo, IndexModeAndTheSelectionAsItIsWhenTheReportRuns) {
  TKxComboBox& c = make_combo(0, "a\r\nb\r\nc");
  start();
  ASSERT_TRUE(hl::choose_item(*c.control(), 2));
  // Before the queue runs, the list is emptied: the report finds no selection.
  fire_null(make_link<&TKxWinList::doClear>(0, &c));
  EXPECT_EQ(changes.got.size(), 1u);
  hl::drain();
  ASSERT_EQ(clicks.got.size(), 1u);
  EXPECT_EQ(clicks.got[0].kind, kInteger);
  EXPECT_EQ(clicks.got[0].integer, -1);
  EXPECT_FALSE(clicks.got[0].chained);
}

TEST_F(Combo, ADisabledOrHiddenListCannotBeChosenFrom) {
  TKxComboBox& c = make_combo(1, "COM1");
  start();
  TData off;
  set_integer(off, 0);
  c.doEnabled(off, 0);
  EXPECT_FALSE(hl::choose_item(*c.control(), 0));
  TData on;
  set_integer(on, 1);
  c.doEnabled(on, 0);
  c.doVisible(off, 0);
  EXPECT_FALSE(hl::choose_item(*c.control(), 0));
  hl::drain();
  EXPECT_TRUE(clicks.got.empty());
}

TEST_F(Combo, DoAddTakesTextAndNumberFromAChainOrFromTheDataInputs) {
  TKxComboBox& c = make_combo(0);
  start();
  TData number;
  set_integer(number, 42);
  TData d;
  set_string(d, "COM9");
  d.next = &number;
  fire(make_link<&TKxWinList::doAdd>(0, &c), d);
  add_text(c, "plain");
  EXPECT_EQ(c.control()->item_data(0), 42);
  EXPECT_EQ(c.control()->item_data(1), 0) << "no chained number: left at 0";

  Source breaker;
  breaker.value.kind = kBreak;
  Source named;
  set_integer(named.value, 7);
  c.dataText = breaker.link();
  c.dataNumber = named.link();
  add_text(c, "own value");
  EXPECT_EQ(c.control()->item_text(2), "own value") << "Break falls back to the event's value";
  EXPECT_EQ(c.control()->item_data(2), 7);

  ASSERT_TRUE(hl::choose_item(*c.control(), 0));
  hl::drain();
  ASSERT_EQ(clicks.got.size(), 1u);
  EXPECT_EQ(clicks.got[0].integer, 0);
  EXPECT_EQ(clicks.got[0].next_integer, 42);
}

TEST_F(Combo, AddToTopAndSelectAdded) {
  TKxComboBox& c = make_combo(1, "old");
  c.AddToTop = 1;
  c.SelectAdded = 1;
  start();
  add_text(c, "new");
  EXPECT_EQ(hl::items(*c.control()), (std::vector<std::string>{"new", "old"}));
  EXPECT_EQ(c.control()->selection(), 0);
  add_text(c, "");
  EXPECT_EQ(c.control()->item_count(), 3) << "an empty text adds an empty item";
}

TEST_F(Combo, ItemsTextLinesAndGetTextLineBreaks) {
  TKxComboBox& c = make_combo(1, "a\r\nb\r\n");
  start();
  EXPECT_EQ(hl::items(*c.control()), (std::vector<std::string>{"a", "b"}));
  TData out;
  c.getText(out, 0);
  EXPECT_EQ(out.str_value, "a\r\nb");
  add_text(c, "");
  c.getText(out, 0);
  EXPECT_EQ(out.str_value, "a\r\nb\r\n\r\n") << "an empty last item keeps its line break";
  c.set_items_text("x\ry");
  EXPECT_EQ(hl::items(*c.control()), (std::vector<std::string>{"x", "y"}));
  c.set_items_text("");
  c.getText(out, 0);
  EXPECT_EQ(out.kind, kString);
  EXPECT_EQ(out.str_value, "");
}

TEST_F(Combo, ReplaceAndSelectIgnoreIndexesOutsideTheList) {
  TKxComboBox& c = make_combo(1, "a\r\nb");
  start();
  TData index;
  TData text;
  set_string(text, "B");
  set_integer(index, 1);
  c.replace_item(index, text);
  set_integer(index, 2);
  c.replace_item(index, text);
  set_string(index, "x");
  c.replace_item(index, text);
  EXPECT_EQ(hl::items(*c.control()), (std::vector<std::string>{"a", "B"}));
  c.select_index(5);
  EXPECT_EQ(c.control()->selection(), -1);
  c.select_index(1);
  EXPECT_EQ(c.control()->selection(), 1);
}

}  // namespace
}  // namespace kx::testing
