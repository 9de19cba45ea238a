// The set-up library as the user reaches it: Ctrl+L in the main window, the library window's
// buttons, the questions they ask answered in the real dialogs, and what lands in the main
// window and the comparison plot.
#include <QComboBox>
#include <QLabel>

#include "gui/comparison_menu.h"
#include "gui/gui_fixture.h"
#include "library/library_window.h"
#include "library/sqlite_backend.h"
#include "services/qt/axes_painter.h"

namespace quorin::test {
namespace {

using LibraryGui = GuiFixture;

int window_named(GuiFixture& f, std::string_view name) {
  for (int n : f.model().window_numbers())
    if (f.model().window(n)->name == name) return n;
  return 0;
}

TEST_F(LibraryGui, SaveOpenAndPlotThroughTheLibraryWindow) {
  activate(1);
  QTest::keyClick(window(1), Qt::Key_L, Qt::ControlModifier);
  ASSERT_TRUE(errors_.empty()) << errors_.front();
  const int lib = window_named(*this, "Set-up Library");
  ASSERT_GE(lib, 5) << "Ctrl+L opened no library window";

  // The set-up to keep: compression valve row 3.
  const double kept_row = 3;
  model_control(1, "CompressionValve").value = kept_row;
  model().touch();
  activate(lib);
  answer_input({"Car A", "RF", "Spa", "2026-05-01", "Q1", "soft at turn 3"});
  click(lib, "LibrarySave");
  ASSERT_TRUE(errors_.empty()) << errors_.front();
  ASSERT_TRUE(answerer_.unanswered.empty()) << answerer_.unanswered.front();
  {
    library::SqliteBackend stored(folder() / "library.sqlite");
    const auto all = stored.all();
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].car, "Car A");
    EXPECT_EQ(all[0].corner, "RF");
    EXPECT_EQ(all[0].rows[library::CValve], 3);
    EXPECT_EQ(all[0].notes, "soft at turn 3");
  }
  EXPECT_NE(model_control(lib, "LibraryStatus").string.find("Saved as set-up 1"), std::string::npos)
      << model_control(lib, "LibraryStatus").string;
  auto* setups = control_as<QComboBox>(lib, "LibrarySetup");
  ASSERT_NE(setups, nullptr);
  EXPECT_TRUE(setups->currentText().startsWith("1: Car A RF, 2026-05-01 Spa (Q1)"))
      << setups->currentText().toStdString();

  // Open puts it back in the main window.
  model_control(1, "CompressionValve").value = 1;
  model().touch();
  activate(lib);
  click(lib, "LibraryOpen");
  ASSERT_TRUE(errors_.empty()) << errors_.front();
  EXPECT_EQ(model_control(1, "CompressionValve").value, kept_row);
  toolkit_->sync();
  EXPECT_EQ(control_as<QComboBox>(1, "CompressionValve")->currentIndex(), 2);
  // Undo takes the opening back, Redo brings it again.
  activate(1);
  QTest::keyClick(window(1), Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(model_control(1, "CompressionValve").value, 1);
  QTest::keyClick(window(1), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(model_control(1, "CompressionValve").value, kept_row);

  // PLOT plots it, and Undo takes the plot back.
  const double before = globals().counter;
  activate(lib);
  click(lib, "LibraryPlot");
  ASSERT_TRUE(errors_.empty()) << errors_.front();
  EXPECT_EQ(globals().counter, before + 1);
  activate(1);
  QTest::keyClick(window(1), Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(globals().counter, before);
}

TEST_F(LibraryGui, LibraryFromTheComparisonWindowsMenuComparesTwoSetUps) {
  pick_from_menu(*this, QString::fromUtf8("Library\u2026"));
  ASSERT_TRUE(errors_.empty()) << errors_.front();
  const int lib = window_named(*this, "Set-up Library");
  ASSERT_GE(lib, 5);
  for (const char* notes : {"first", "second"}) {
    model_control(1, "motionratio").string = notes[0] == 'f' ? "1.0" : "1.2";
    model().touch();
    activate(lib);
    answer_input({"Car B", "LR", "Monza", "2026-06-01", "R", notes});
    click(lib, "LibrarySave");
    ASSERT_TRUE(errors_.empty()) << errors_.front();
    // The set-up just saved is the chosen one, whatever was chosen before.
    toolkit_->sync();
    auto* setups = control_as<QComboBox>(lib, "LibrarySetup");
    ASSERT_NE(setups, nullptr);
    EXPECT_TRUE(setups->currentText().startsWith(notes[0] == 'f' ? "1:" : "2:"))
        << setups->currentText().toStdString();
  }
  activate(lib);
  answer_input({"2", "A set-up of my choice", "1"});
  click(lib, "LibraryCompare");
  ASSERT_TRUE(errors_.empty()) << errors_.front();
  const int cmp = window_named(*this, "Set-up Comparison");
  ASSERT_GE(cmp, 5);
  // The motion ratio and the notes differ, drawn in bold red; the car does not.
  std::set<std::string> marked;
  for (auto* a : model().children_of<gfx::Axes>(*model().window(cmp)))
    for (gfx::Handle h : a->children())
      if (auto* t = dynamic_cast<gfx::Text*>(model().find(h));
          t && t->font_weight == "bold" && t->color.r > 0.5)
        marked.insert(t->string);
  EXPECT_EQ(marked, (std::set<std::string>{"1.2", "second"}));
}

// Long names in every field: each text of the list, ellipsis included, ends clear of the next
// column, in the header and in the rows; the status after saving the same set-up twice stays
// whole inside the window.
TEST_F(LibraryGui, TheListAndTheStatusStayWholeWithLongNames) {
  activate(1);
  QTest::keyClick(window(1), Qt::Key_L, Qt::ControlModifier);
  const int lib = window_named(*this, "Set-up Library");
  ASSERT_GE(lib, 5);
  // The same long-named set-up, saved through the real question.
  const auto save_long_named = [&] {
    activate(lib);
    answer_input({"Porsche 911 GT3 R Evo", "LF", "Circuit de Spa-Francorchamps", "2026-12-09",
                  "Qualifying 1 wet", "Softer rebound for Eau Rouge and Raidillon"});
    click(lib, "LibrarySave");
    toolkit_->sync();
  };
  save_long_named();
  ASSERT_TRUE(errors_.empty()) << errors_.front();
  gfx::Handle list{};
  for (gfx::Object* o : model().find_all_by_tag(*model().window(lib), "LibraryList"))
    list = o->handle();
  auto* table = qobject_cast<qtk::AxesWidget*>(toolkit_->widget(list));
  ASSERT_NE(table, nullptr);
  QWidget* w = window(lib);
  QImage im(w->size(), QImage::Format_RGB32);
  w->render(&im);
  const QRect box(table->mapTo(w, table->box().topLeft().toPoint()),
                  table->box().size().toSize());
  const double px = box.width() / library::kListWidth;
  const double row = box.height() / 23.0;  // the header and 22 rows
  double edge = 0;
  for (std::size_t col = 0; col + 1 < library::kListLayout.size(); ++col) {
    edge += library::kListLayout[col].width;
    const int x = box.left() + static_cast<int>(edge * px);
    for (int r : {0, 1}) {
      const int top = box.top() + static_cast<int>(r * row), bottom = top + static_cast<int>(row);
      bool ink = false;
      for (int y = top + 1; y < bottom - 1 && !ink; ++y)
        for (int dx = -3; dx < 1 && !ink; ++dx) ink = qGray(im.pixel(x + dx, y)) < 110;
      EXPECT_FALSE(ink) << "row " << r << " runs into column " << col + 1;
    }
  }

  save_long_named();
  ASSERT_TRUE(errors_.empty()) << errors_.front();
  auto* status = control_as<QLabel>(lib, "LibraryStatus");
  ASSERT_NE(status, nullptr);
  ASSERT_TRUE(status->text().contains("not saved twice")) << status->text().toStdString();
  EXPECT_LE(status->geometry().right(), w->width()) << "the status runs off the window";
  const QRect lines = status->fontMetrics().boundingRect(
      QRect(0, 0, status->width(), 1 << 20),
      status->wordWrap() ? Qt::TextWordWrap | Qt::AlignLeft : Qt::AlignLeft, status->text());
  EXPECT_LE(lines.width(), status->width());
  EXPECT_LE(lines.height(), status->height()) << status->text().toStdString();
}

}  // namespace
}  // namespace quorin::test

namespace quorin::test {
namespace {

// A library file that is not a library: Ctrl+L says so in a message box naming the file, and
// the file is left exactly as it was.
TEST_F(GuiFixture, ADamagedLibraryFileIsRefusedInAMessageAndLeftAlone) {
  const std::filesystem::path file = folder() / "library.sqlite";
  const std::string bytes = "these are someone's lap times, not a library\n";
  std::ofstream(file, std::ios::binary) << bytes;
  activate(1);
  QTest::keyClick(window(1), Qt::Key_L, Qt::ControlModifier);
  ASSERT_EQ(errors_.size(), 1u);
  EXPECT_NE(errors_[0].find(file.string()), std::string::npos) << errors_[0];
  EXPECT_NE(errors_[0].find("is not a set-up library"), std::string::npos) << errors_[0];
  std::ifstream in(file, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), bytes);
  // The program goes on: PLOT still plots.
  const double before = globals().counter;
  click(1, "PLOT");
  EXPECT_EQ(globals().counter, before + 1);
}

// A library file nobody may write opens read-only: the status line says so and the buttons
// that would write are off.
TEST_F(GuiFixture, AReadOnlyLibraryOpensReadOnlyAndSaysSo) {
  const std::filesystem::path file = folder() / "library.sqlite";
  {
    library::SqliteBackend lib(file);
    library::Setup s;
    s.car = "Car A";
    s.corner = "LF";
    s.date = "2026-05-01";
    s.rows = {1, 1, 1, 1, 1, 1, 1, 1};
    lib.save({s});
  }
  std::filesystem::permissions(file, std::filesystem::perms::owner_read |
                                         std::filesystem::perms::group_read |
                                         std::filesystem::perms::others_read);
  activate(1);
  QTest::keyClick(window(1), Qt::Key_L, Qt::ControlModifier);
  ASSERT_TRUE(errors_.empty()) << errors_.front();
  const int lib = window_named(*this, "Set-up Library");
  ASSERT_GE(lib, 5);
  EXPECT_NE(model_control(lib, "LibraryStatus").string.find("1 set-up found"), std::string::npos);
  EXPECT_NE(model_control(lib, "LibraryStatus").string.find("(read-only)"), std::string::npos);
  for (const char* tag : {"LibrarySave", "LibraryImport", "LibraryMerge"})
    EXPECT_FALSE(control(lib, tag)->isEnabled()) << tag;
  EXPECT_TRUE(control(lib, "LibraryOpen")->isEnabled());
}

}  // namespace
}  // namespace quorin::test
