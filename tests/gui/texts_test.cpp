// Every text of every window shows whole at the default size: labels, buttons and check
// boxes, in the main window, the comparison window, both turn windows and the overlay warning.
#include <QAbstractItemView>
#include <QCheckBox>
#include <QFontMetricsF>
#include <QHelpEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QRegion>
#include <QStyle>
#include <QToolTip>
#include <cmath>

#include "gui/gui_fixture.h"
#include "services/qt/look.h"

namespace quorin::test {
namespace {

// What of a widget's text does not show; empty when it all shows.
std::string cut_off(QWidget* w) {
  auto too_wide = [](double need, int have) {
    return "needs " + std::to_string(need) + " px, has " + std::to_string(have);
  };
  if (auto* l = qobject_cast<QLabel*>(w)) {
    const QString text = l->text();
    if (text.trimmed().isEmpty()) return {};
    const QRect box = l->contentsRect();
    const QFontMetrics fm(l->font());
    if (l->wordWrap()) {
      const QRect need = fm.boundingRect(QRect(0, 0, box.width(), 1 << 20),
                                         Qt::TextWordWrap | l->alignment(), text);
      if (need.width() > box.width()) return "wrapped: " + too_wide(need.width(), box.width());
      if (need.height() > box.height())
        return "wrapped over " + std::to_string(need.height()) + " px in " +
               std::to_string(box.height());
      return {};
    }
    const double advance = QFontMetricsF(l->font()).horizontalAdvance(text);
    if (std::ceil(advance) > box.width()) return too_wide(advance, box.width());
    // The ink of the line, drawn from the top of the box, stays inside it.
    const QRect ink = fm.tightBoundingRect(text);
    const int bottom = fm.ascent() + ink.bottom();
    if (bottom >= box.height())
      return "ink reaches row " + std::to_string(bottom) + " of " + std::to_string(box.height());
    return {};
  }
  if (auto* b = qobject_cast<QPushButton*>(w)) {
    const double advance = QFontMetricsF(b->font()).horizontalAdvance(b->text());
    if (std::ceil(advance) > b->width() - 4) return too_wide(advance, b->width() - 4);
    return {};
  }
  if (auto* b = qobject_cast<QAbstractButton*>(w); b && !b->text().isEmpty()) {
    const int indicator = b->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, b) +
                          b->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, b);
    const double advance = QFontMetricsF(b->font()).horizontalAdvance(b->text());
    if (std::ceil(advance) > b->width() - indicator)
      return too_wide(advance, b->width() - indicator);
  }
  return {};
}

class Texts : public GuiFixture {
 protected:
  // Opens the turn windows and the overlay warning beside the main and comparison windows.
  std::vector<int> open_every_window() {
    for (const char* builder : {"lht", "rht"}) {
      EXPECT_TRUE(program_->guarded([&] { program_->call(builder, 0, {}); })) << builder;
    }
    EXPECT_TRUE(program_->guarded([&] { program_->call("warningct", 0, {}); }));
    toolkit_->sync();
    return model().window_numbers();
  }
};

TEST_F(Texts, EveryTextOfEveryWindowShowsWhole) {
  const std::vector<int> windows = open_every_window();
  EXPECT_GE(windows.size(), 5u);
  int checked = 0;
  for (int n : windows) {
    for (gfx::Control* c : model().children_of<gfx::Control>(*model().window(n))) {
      QWidget* w = toolkit_->widget(c->handle());
      if (!w || !c->visible || c->string.empty()) continue;
      ++checked;
      // A text that runs past its box runs only where no other control lies.
      const QRect box = qtk::to_qrect(c->units, c->position, window(n)->size());
      if (w->geometry() != box) {
        for (gfx::Control* other : model().children_of<gfx::Control>(*model().window(n))) {
          QWidget* ow = toolkit_->widget(other->handle());
          if (other == c || !ow || !other->visible || other->style == gfx::Control::Style::Frame)
            continue;
          const QRegion beyond = QRegion(w->geometry()).subtracted(QRegion(box));
          EXPECT_FALSE(beyond.intersects(ow->geometry()))
              << "\"" << c->string << "\" runs onto \"" << other->string << "\"";
        }
      }
      const std::string problem = cut_off(w);
      EXPECT_EQ(problem, "") << "window " << n << " \"" << c->string << "\" at "
                             << w->geometry().x() << "," << w->geometry().y() << " " << w->width()
                             << "x" << w->height() << " font " << w->font().pixelSize() << " px";
    }
  }
  EXPECT_GT(checked, 40);
}

// A control's tooltip is wrapped when it is about to show (not while the window is made):
// every line of every shown tooltip of the main window fits the tooltip width.
TEST_F(Texts, TooltipsAreWrappedWhenTheyShow) {
  int long_ones = 0;
  for (gfx::Control* c : model().children_of<gfx::Control>(*model().window(1))) {
    QWidget* w = toolkit_->widget(c->handle());
    if (!w || c->tooltip.empty()) continue;
    const QString raw = QString::fromStdString(c->tooltip);
    const bool needs_wrap =
        QFontMetricsF(QToolTip::font()).horizontalAdvance(raw) > qtk::kTooltipWidth;
    long_ones += needs_wrap;
    for (int twice = 0; twice < 2; ++twice) {
      QHelpEvent help(QEvent::ToolTip, QPoint(2, 2), w->mapToGlobal(QPoint(2, 2)));
      QApplication::sendEvent(w, &help);
      for (const QString& line : w->toolTip().split('\n'))
        EXPECT_LE(QFontMetricsF(QToolTip::font()).horizontalAdvance(line), qtk::kTooltipWidth)
            << c->tooltip;
      EXPECT_EQ(w->toolTip().simplified(), raw.simplified());
    }
    EXPECT_EQ(w->toolTip().contains('\n'), needs_wrap || raw.contains('\n')) << c->tooltip;
    QToolTip::hideText();
  }
  EXPECT_GT(long_ones, 0);
}

// A popup box is too narrow for its longest rows (valve and shim stack); its open list is not.
TEST_F(Texts, EveryRowOfAnOpenListShowsWhole) {
  for (const char* tag : {"CompressionValve", "ReboundValve", "CompressionSpring", "HSC"}) {
    SCOPED_TRACE(tag);
    auto* box = control_as<QComboBox>(1, tag);
    ASSERT_NE(box, nullptr);
    box->showPopup();
    QAbstractItemView* list = box->view();
    const QFontMetrics fm(list->font());
    for (int row = 0; row < box->count(); ++row)
      EXPECT_LE(fm.horizontalAdvance(box->itemText(row)), list->viewport()->width() - 4)
          << box->itemText(row).toStdString();
    box->hidePopup();
  }
}

}  // namespace
}  // namespace quorin::test

namespace quorin::test {
namespace {

// How a text is fitted into a box, case by case.
TEST(TextFit, WrapsShrinksOrWidensAsTheBoxAllows) {
  qtk::ensure_application();
  QFont font(QStringLiteral("Liberation Sans"));
  font.setPixelSize(11);
  const QString two_words = QStringLiteral(" Valve/Shim Combo");
  const int width = static_cast<int>(std::ceil(QFontMetricsF(font).horizontalAdvance(two_words)));
  const QString one_word = QStringLiteral("Compression");
  QFont ten = font;
  ten.setPixelSize(10);
  const int one_word_10px =
      static_cast<int>(std::ceil(QFontMetricsF(ten).horizontalAdvance(one_word)));
  struct Case {
    const char* name;
    QString text;
    QRect box;
    Qt::Alignment align;
    bool wrap;
    int pixels;  // the font's size
    QRect rect;  // where the text goes
  };
  const Case cases[] = {
      {"fits", two_words, QRect(10, 0, width, 12), Qt::AlignLeft, false, 11,
       QRect(10, 0, width, 12)},
      {"tall box wraps", two_words, QRect(10, 0, width - 2, 40), Qt::AlignLeft, true, 11,
       QRect(10, 0, width - 2, 40)},
      {"low box shrinks", two_words, QRect(10, 0, width - 2, 12), Qt::AlignLeft, false, 10,
       QRect(10, 0, width - 2, 12)},
      {"one word never wraps", one_word, QRect(10, 0, one_word_10px, 40), Qt::AlignLeft, false, 10,
       QRect(10, 0, one_word_10px, 40)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const qtk::TextFit fit = qtk::fit_text(c.text, font, c.box, c.align);
    EXPECT_EQ(fit.wrap, c.wrap);
    EXPECT_EQ(fit.font.pixelSize(), c.pixels);
    EXPECT_EQ(fit.rect, c.rect);
  }

  // Too wide even two pixels smaller: the box grows away from the text's alignment.
  const QRect narrow(100, 0, 40, 12);
  QFont smallest = font;
  smallest.setPixelSize(9);
  const int missing =
      static_cast<int>(std::ceil(QFontMetricsF(smallest).horizontalAdvance(two_words))) - 40;
  ASSERT_GT(missing, 0);
  EXPECT_EQ(qtk::fit_text(two_words, font, narrow, Qt::AlignLeft).rect,
            QRect(100, 0, 40 + missing, 12));
  EXPECT_EQ(qtk::fit_text(two_words, font, narrow, Qt::AlignRight).rect,
            QRect(100 - missing, 0, 40 + missing, 12));
  const QRect centred = qtk::fit_text(two_words, font, narrow, Qt::AlignHCenter).rect;
  EXPECT_EQ(centred.width(), 40 + missing);
  EXPECT_LE(std::abs(centred.center().x() - narrow.center().x()), 1);
}

TEST(TooltipWrap, BreaksBetweenWordsAndKeepsEveryWord) {
  qtk::ensure_application();
  QFont font(QStringLiteral("Liberation Sans"));
  font.setPixelSize(12);
  const QString text = QStringLiteral(
      "Enter dimension of internal shaft. For non through-rod damper enter 0, and for a "
      "damper with a through-rod the diameter of the rod");
  const QString wrapped = qtk::wrap_tooltip(text, font, 200);
  EXPECT_EQ(wrapped.simplified(), text.simplified());
  EXPECT_GE(wrapped.count('\n'), 2);
  for (const QString& line : wrapped.split('\n'))
    EXPECT_LE(QFontMetricsF(font).horizontalAdvance(line), 200) << line.toStdString();
  EXPECT_EQ(qtk::wrap_tooltip("Short", font, 200), "Short");
  EXPECT_EQ(qtk::wrap_tooltip("<b>rich</b> text stays", font, 10), "<b>rich</b> text stays");
  EXPECT_EQ(qtk::wrap_tooltip("first\nsecond", font, 200), "first\nsecond");
}

}  // namespace
}  // namespace quorin::test
