// The comparison window's context menu as the user reaches it: a right click in the plot area
// of window 2, then a left click on one of its items.
#pragma once

#include <QMenu>

#include "gui/gui_fixture.h"

namespace quorin::test {

// Right-clicks window 2 in its plot area; the menu that opens, or nullptr (the test then
// has failed) when the window is not open or no menu opens.
inline QMenu* open_comparison_menu(GuiFixture& f) {
  QWidget* w = f.window(2);
  if (!w) {
    ADD_FAILURE() << "window 2 is not open";
    return nullptr;
  }
  QTest::mouseClick(w, Qt::RightButton, Qt::NoModifier, QPoint(w->width() / 3, w->height() / 2));
  return qobject_cast<QMenu*>(QApplication::activePopupWidget());
}

// Opens the comparison window's context menu and clicks the item labelled `label`; fails the
// test, naming the items there are, when there is no such item.
inline void pick_from_menu(GuiFixture& f, const QString& label) {
  QMenu* menu = open_comparison_menu(f);
  ASSERT_NE(menu, nullptr) << "no menu after a right click";
  QAction* chosen = nullptr;
  QStringList labels;
  for (QAction* a : menu->actions()) {
    if (a->isSeparator()) continue;
    labels << a->text();
    if (a->text() == label) chosen = a;
  }
  ASSERT_NE(chosen, nullptr) << label.toStdString() << " not among "
                             << labels.join(" | ").toStdString();
  QTest::mouseClick(menu, Qt::LeftButton, Qt::NoModifier, menu->actionGeometry(chosen).center());
  QCoreApplication::processEvents();
}

}  // namespace quorin::test
