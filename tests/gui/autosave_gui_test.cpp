// The desktop keeps its session after every use of a control, commands or not: a program that
// dies after some clicks comes back with its curves and selections.
#include <QComboBox>

#include "gui/gui_fixture.h"
#include "startup/autosave.h"

namespace quorin::test {
namespace {

using KeptDesktopSession = GuiFixture;

TEST_F(KeptDesktopSession, ClicksAndAListChoiceComeBackAfterAnEndWithoutExit) {
  std::vector<DamperCurve> curves;
  {
    Autosave autosave(folder(), console_);
    toolkit_->after_every_use([&] { autosave.keep(*program_); });
    click(1, "PLOT");
    type_into(1, "motionratio", "1.25");
    click(1, "PLOT");
    // A list with no command of its own: the choice alone is a change to keep.
    auto* hsc = control_as<QComboBox>(1, "HSC");
    ASSERT_NE(hsc, nullptr);
    hsc->setFocus();
    QTest::keyClick(hsc, Qt::Key_Up);
    ASSERT_EQ(model_control(1, "HSC").value, 30);
    autosave.flush();
    curves = globals().plotdata;
    toolkit_->after_every_use(nullptr);
    // The program dies here: no EXIT, no finish.
  }
  ASSERT_EQ(curves.size(), 2u);

  // The next start in the same folder finds the session and brings it back.
  Program next(folder(), dialogs_, console_);
  ASSERT_TRUE(next.guarded([&] { next.start(); }));
  Autosave again(folder(), console_);
  ASSERT_EQ(again.waiting_curves(), 2u);
  ASSERT_TRUE(next.guarded([&] { again.restore(next); })) << errors_.back();
  EXPECT_EQ(next.globals.plotdata, curves);
  EXPECT_EQ(next.globals.counter, 3);
  for (const auto* tag : {"HSC", "motionratio"}) {
    next.gfx.figure(1);
    auto* c = dynamic_cast<gfx::Control*>(next.gfx.find_by_tag(tag));
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->value, model_control(1, tag).value) << tag;
    EXPECT_EQ(c->string, model_control(1, tag).string) << tag;
  }
}

}  // namespace
}  // namespace quorin::test
