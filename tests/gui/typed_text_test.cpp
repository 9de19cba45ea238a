// Text typed into an edit box counts as soon as it shows: a command started right after the
// typing, by a click or from the keyboard, reads what the box shows, without Enter or Tab.
#include <QComboBox>
#include <functional>

#include "gui/gui_fixture.h"

namespace quorin::test {
namespace {

// Every stored value of two curves differs by the same factor.
void expect_scaled(const std::vector<double>& scaled, const std::vector<double>& base,
                   double factor, const char* what) {
  ASSERT_EQ(scaled.size(), base.size()) << what;
  for (std::size_t k = 0; k < base.size(); ++k)
    EXPECT_NEAR(scaled[k], base[k] * factor, 1e-9 * (1 + std::abs(base[k]))) << what << " " << k;
}

struct TypedRow {
  const char* name;
  int plots_before;                                    // PLOT clicks before the typing
  std::vector<std::pair<const char*, QString>> typed;  // box, text
  const char* button;
  std::function<void(GuiFixture&, const std::vector<DamperCurve>& before)> check;
};

// The area factor of a piston and shaft pair against the 40 mm piston with a 12 mm shaft.
double area_ratio(double piston, double shaft) {
  return (piston * piston - shaft * shaft) / (40.0 * 40 - 12.0 * 12);
}

const TypedRow kRows[] = {
    {"ExportWritesTheTypedCurve",
     2,
     {{"plotindex", "2"}},
     "EXPORT #",
     [](GuiFixture& f, const std::vector<DamperCurve>&) {
       const std::string text = f.export_text();
       const auto& curves = f.globals().plotdata;
       EXPECT_NE(text.find("   " + curves[1].curveIDcompression1 + "\n"), std::string::npos)
           << text;
       EXPECT_EQ(text.find("   " + curves[0].curveIDcompression1 + "\n"), std::string::npos)
           << text;
     }},
    {"UpdateReplacesTheTypedCurve",
     2,
     {{"piston", "50"}, {"curveselect", "2"}},
     "UPDATE #",
     [](GuiFixture& f, const std::vector<DamperCurve>& before) {
       const auto& curves = f.globals().plotdata;
       ASSERT_EQ(curves.size(), 2u);
       EXPECT_EQ(curves[0], before[0]) << "curve 1 is left alone";
       EXPECT_NEAR(curves[1].compscale / before[1].compscale, area_ratio(50, 12), 1e-12);
     }},
    {"RescaleTakesTheTypedLimit",
     0,
     {{"xmax", "3"}},
     "Rescale",
     [](GuiFixture& f, const std::vector<DamperCurve>&) {
       const auto& axes = f.model().get<gfx::Axes>(f.globals().plothandle);
       EXPECT_EQ(axes.xlim[1], 3);
     }},
    {"PlotTakesTheTypedMotionRatio",
     1,
     {{"motionratio", "2"}},
     "PLOT",
     [](GuiFixture& f, const std::vector<DamperCurve>& before) {
       const auto& curves = f.globals().plotdata;
       ASSERT_EQ(curves.size(), 2u);
       EXPECT_EQ(curves[1].motionratio, 2);
       expect_scaled(curves[1].compression_velocity, before[0].compression_velocity, 2, "velocity");
       expect_scaled(curves[1].compression_force, before[0].compression_force, 0.5, "force");
     }},
    {"PlotTakesTheTypedPiston",
     1,
     {{"piston", "46"}},
     "PLOT",
     [](GuiFixture& f, const std::vector<DamperCurve>& before) {
       const auto& curves = f.globals().plotdata;
       ASSERT_EQ(curves.size(), 2u);
       EXPECT_NEAR(curves[1].compscale / before[0].compscale, area_ratio(46, 12), 1e-12);
       EXPECT_NEAR(curves[1].rebscale / before[0].rebscale, area_ratio(46, 12), 1e-12);
     }},
    {"PlotTakesTheTypedShafts",
     1,
     {{"internalshaft", "0"}, {"externalshaft", "14"}},
     "PLOT",
     [](GuiFixture& f, const std::vector<DamperCurve>& before) {
       const auto& curves = f.globals().plotdata;
       ASSERT_EQ(curves.size(), 2u);
       EXPECT_NEAR(curves[1].compscale / before[0].compscale, area_ratio(40, 0), 1e-12);
       EXPECT_NEAR(curves[1].rebscale / before[0].rebscale, area_ratio(40, 14), 1e-12);
     }},
};

void PrintTo(const TypedRow& row, std::ostream* os) {
  *os << row.name;
}

class TypedThenClicked : public GuiFixture, public ::testing::WithParamInterface<TypedRow> {};

TEST_P(TypedThenClicked, TheCommandSeesWhatTheBoxShows) {
  const TypedRow& row = GetParam();
  for (int i = 0; i < row.plots_before; ++i) click(1, "PLOT");
  const std::vector<DamperCurve> before = globals().plotdata;
  for (const auto& [box, text] : row.typed) type_into(1, box, text);
  click(1, row.button);
  EXPECT_TRUE(errors_.empty()) << errors_.front();
  for (const auto& [box, text] : row.typed) {
    EXPECT_EQ(control_as<QLineEdit>(1, box)->text(), text) << box;
    EXPECT_EQ(model_control(1, box).string, text.toStdString()) << box;
  }
  row.check(*this, before);
}

INSTANTIATE_TEST_SUITE_P(Boxes, TypedThenClicked, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });

// Every way of using a control writes the pending text first: a check box or radio button
// click, Space on a button reached by keyboard, a choice in a popup list.
using PendingText = GuiFixture;

TEST_F(PendingText, IsWrittenBeforeAnyControlIsUsed) {
  struct Way {
    const char* name;
    std::function<void(PendingText&)> use;
  };
  const Way ways[] = {
      {"check box click", [](PendingText& f) { f.click(1, "holdimport"); }},
      {"radio button click", [](PendingText& f) { f.click(1, "USUnits"); }},
      {"Space on a focused button",
       [](PendingText& f) {
         QWidget* b = f.control(1, "Add 3rd");
         b->setFocus(Qt::TabFocusReason);
         QTest::keyClick(b, Qt::Key_Space);
       }},
      {"popup choice",
       [](PendingText& f) {
         auto* list = f.control_as<QComboBox>(1, "CompressionValve");
         list->setFocus(Qt::TabFocusReason);
         QTest::keyClick(list, Qt::Key_Down);
       }},
  };
  int n = 2;
  for (const Way& way : ways) {
    const QString typed = QString::number(++n);
    type_into(1, "motionratio", typed);
    way.use(*this);
    EXPECT_EQ(model_control(1, "motionratio").string, typed.toStdString()) << way.name;
    EXPECT_EQ(control_as<QLineEdit>(1, "motionratio")->text(), typed) << way.name;
  }
}

}  // namespace
}  // namespace quorin::test
