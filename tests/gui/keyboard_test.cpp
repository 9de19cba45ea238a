// The main window from the keyboard and the mouse wheel: Tab follows the layout, a popup list
// changes by wheel only when it has the focus, a focused button shows it, and tooltips are
// wrapped to a readable width.
#include <QComboBox>
#include <QHelpEvent>
#include <QImage>
#include <QKeySequence>
#include <QPushButton>
#include <QToolTip>
#include <QWheelEvent>

#include "gui/gui_fixture.h"

namespace quorin::test {
namespace {

using Keyboard = GuiFixture;

// The name the fixture finds a control of window 1 by, for the widget that has the focus.
std::string focused_name(GuiFixture& f, const std::vector<std::string>& names) {
  QWidget* focus = QApplication::focusWidget();
  for (const std::string& n : names)
    if (f.control(1, n) == focus) return n;
  return focus ? "(another widget: " + focus->objectName().toStdString() + ")" : "(none)";
}

TEST_F(Keyboard, TabVisitsTheControlsInTheirLayoutOrder) {
  const std::vector<std::string> order = {"CompressionValve",
                                          "CompressionSpring",
                                          "LSC",
                                          "HSC",
                                          "ReboundValve",
                                          "ReboundSpring",
                                          "LSR",
                                          "HSR",
                                          "internalshaft",
                                          "externalshaft",
                                          "piston",
                                          "motionratio",
                                          "Add 3rd",
                                          "PLOT",
                                          "CLEAR",
                                          "clearall",
                                          "UPDATE #",
                                          "curveselect",
                                          "EXPORT #",
                                          "plotindex",
                                          "SAVE",
                                          "LOAD",
                                          "IMPORT",
                                          "ROEHRIG",
                                          "holdimport",
                                          "holdroehrig",
                                          "SIUnits",
                                          "USUnits",
                                          "xmin",
                                          "xmax",
                                          "ymin",
                                          "ymax",
                                          "Rescale",
                                          "PRINT",
                                          "printall",
                                          "EXIT",
                                          "Help"};
  EXPECT_EQ(focused_name(*this, order), order.front()) << "the first control has the focus";
  control(1, order.front())->setFocus(Qt::TabFocusReason);
  std::vector<std::string> visited = {focused_name(*this, order)};
  for (std::size_t i = 1; i <= order.size(); ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    visited.push_back(focused_name(*this, order));
  }
  std::vector<std::string> expected = order;
  expected.push_back(order.front());  // after Help the focus goes round to the top
  EXPECT_EQ(visited, expected);

  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
  EXPECT_EQ(focused_name(*this, order), "Help");
}

TEST_F(Keyboard, SpaceOrEnterOnAFocusedButtonPressesIt) {
  for (Qt::Key key : {Qt::Key_Space, Qt::Key_Return, Qt::Key_Enter}) {
    const double before = globals().counter;
    QWidget* plot = control(1, "PLOT");
    plot->setFocus(Qt::TabFocusReason);
    QTest::keyClick(plot, key);
    EXPECT_EQ(globals().counter, before + 1) << QKeySequence(key).toString().toStdString();
  }
  EXPECT_TRUE(errors_.empty()) << errors_.front();
}

TEST_F(Keyboard, WindowsWithoutAKeyboardOrderKeepTheCreationOrder) {
  gfx::Window& w = model().figure(5);
  std::vector<gfx::Handle> boxes;
  for (int i = 0; i < 3; ++i) {
    gfx::Control& c = model().new_control(w, gfx::Control::Style::Edit);
    c.position = {10.0 + 70 * (2 - i), 10, 60, 20};  // made right to left
    boxes.push_back(c.handle());
  }
  toolkit_->sync();
  activate(5);
  QWidget* first = toolkit_->widget(boxes[0]);
  first->setFocus(Qt::TabFocusReason);
  for (gfx::Handle h : {boxes[1], boxes[2], boxes[0]}) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), toolkit_->widget(h));
  }
}

void wheel(QWidget* w, int steps) {
  const QPointF at(w->width() / 2.0, w->height() / 2.0);
  QWheelEvent e(at, w->mapToGlobal(at), QPoint(), QPoint(0, -120 * steps), Qt::NoButton,
                Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(w, &e);
}

TEST_F(Keyboard, APopupListChangesByWheelOnlyWithTheFocus) {
  click(1, "PLOT");
  auto* list = control_as<QComboBox>(1, "CompressionValve");
  ASSERT_NE(list, nullptr);
  control(1, "piston")->setFocus(Qt::MouseFocusReason);
  const std::string seat = model_control(1, "valveseatcompression").string;

  wheel(list, 1);
  EXPECT_EQ(list->currentIndex(), 2) << "scrolling over the window changes no selection";
  EXPECT_EQ(model_control(1, "CompressionValve").value, 3);
  EXPECT_EQ(globals().plotdata.size(), 1u);

  list->setFocus(Qt::TabFocusReason);
  wheel(list, 1);
  EXPECT_EQ(list->currentIndex(), 3);
  EXPECT_EQ(model_control(1, "CompressionValve").value, 4) << "a focused list takes the wheel";
  EXPECT_TRUE(errors_.empty()) << errors_.front();
}

// How many pixels of the button differ between two pictures, and how many of those are in
// the button's label colour.
TEST_F(Keyboard, AFocusedButtonShowsAFocusRing) {
  for (const char* name : {"PLOT", "EXPORT #", "Rescale", "EXIT"}) {
    SCOPED_TRACE(name);
    auto* b = control_as<QPushButton>(1, name);
    ASSERT_NE(b, nullptr);
    control(1, "piston")->setFocus(Qt::MouseFocusReason);
    const QImage plain = b->grab().toImage();
    b->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(b->hasFocus());
    const QImage focused = b->grab().toImage();
    ASSERT_EQ(plain.size(), focused.size());
    const QColor label = b->palette().color(QPalette::ButtonText);
    int changed = 0, in_label_colour = 0;
    for (int y = 0; y < plain.height(); ++y)
      for (int x = 0; x < plain.width(); ++x) {
        if (plain.pixel(x, y) == focused.pixel(x, y)) continue;
        ++changed;
        if (QColor(focused.pixel(x, y)) == label) ++in_label_colour;
      }
    // A ring round the button: at least its two long sides, in the label's colour.
    EXPECT_GE(in_label_colour, 2 * (b->width() - 8)) << changed << " pixels changed";
  }
}

// The tooltip widget on the screen, if one is shown.
QLabel* shown_tooltip() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->inherits("QTipLabel") && w->isVisible()) return qobject_cast<QLabel*>(w);
  return nullptr;
}

TEST_F(Keyboard, TooltipsAreWrappedAndShowTheirWholeText) {
  int long_ones = 0;
  for (gfx::Control* c : model().children_of<gfx::Control>(*model().window(1))) {
    if (c->tooltip.empty() || !c->visible) continue;
    SCOPED_TRACE(c->tooltip);
    QWidget* w = toolkit_->widget(c->handle());
    ASSERT_NE(w, nullptr);
    const QPoint at(w->width() / 2, w->height() / 2);
    QHelpEvent hover(QEvent::ToolTip, at, w->mapToGlobal(at));
    QApplication::sendEvent(w, &hover);
    QLabel* tip = shown_tooltip();
    ASSERT_NE(tip, nullptr);
    EXPECT_LT(tip->width(), 400);
    EXPECT_EQ(tip->text().simplified().toStdString(),
              QString::fromStdString(c->tooltip).simplified().toStdString());
    const QSize needed = tip->sizeHint();
    EXPECT_GE(tip->width(), needed.width());
    EXPECT_GE(tip->height(), needed.height());
    if (tip->text().contains('\n')) ++long_ones;
    QToolTip::hideText();
  }
  EXPECT_GE(long_ones, 2) << "the contact and shaft tooltips take more than one line";
}

}  // namespace
}  // namespace quorin::test
