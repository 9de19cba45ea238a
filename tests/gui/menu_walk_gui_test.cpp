// Every item of the comparison window's menu, used once by its key and once by a right click
// and a left click on it, with its questions answered in the real dialogs: its window, file,
// clipboard text or change appears, and no error is shown.
#include <QClipboard>
#include <QGuiApplication>

#include "analysis/measured_windows.h"
#include "analysis/ride_windows.h"
#include "analysis/tool_windows.h"
#include "analysis/tuning_windows.h"
#include "app/comparison_tools.h"
#include "dyno/dyno_bytes.h"
#include "gui/comparison_menu.h"
#include "gui/gui_fixture.h"
#include "library/library_window.h"
#include "measured/generated_run.h"

namespace quorin::test {
namespace {

struct Item {
  const char* id;
  // Answers for the item's questions, queued before it is used.
  std::function<void(GuiFixture&)> answer;
  // What the user sees afterwards; empty when all is well.
  std::function<std::string(GuiFixture&)> appeared;
};

bool window_named(GuiFixture& f, std::string_view name) {
  for (int n : f.model().window_numbers())
    if (f.model().window(n)->name == name && f.window(n) && f.window(n)->isVisible()) return true;
  return false;
}
std::function<std::string(GuiFixture&)> opens(std::string_view name) {
  return [name](GuiFixture& f) {
    return window_named(f, name) ? "" : "no window \"" + std::string(name) + "\"";
  };
}
std::function<std::string(GuiFixture&)> writes(const char* file) {
  return [file](GuiFixture& f) {
    return std::filesystem::is_regular_file(f.folder() / file) ? "" : std::string("no ") + file;
  };
}

// A dyno run file and a logger file in the start folder, for the measured-data items.
std::filesystem::path walk_run(GuiFixture& f) {
  testing::GeneratedDamper d;
  d.curve = [](double v) { return 3000 * v; };
  d.frequencies_hz = {1, 2, 4};
  const std::filesystem::path file = f.folder() / "walk_run.csv";
  std::ofstream(file) << testing::generated_run_file(d);
  return file;
}
std::filesystem::path walk_log(GuiFixture& f) {
  std::string text = "Time (s),Damper FL (mm),Damper RR (mm)\n";
  for (int k = 0; k < 500; ++k)
    text += std::to_string(k * 0.01) + "," + std::to_string(10 * std::sin(k * 0.05)) + "," +
            std::to_string(6 * std::cos(k * 0.07)) + "\n";
  const std::filesystem::path file = f.folder() / "walk_log.csv";
  std::ofstream(file) << text;
  return file;
}
// A run read and its window closed again, as before the item is used.
void run_read(GuiFixture& f) {
  f.program_->tools->measured_tools().load_run(walk_run(f), true, true);
  for (int n : f.model().window_numbers())
    if (f.model().window(n)->name == analysis::kDynoRunWindowName) f.model().close(n);
}

const Item kItems[] = {
    {"savepicture",
     [](GuiFixture& f) {
       f.answer_file(f.folder() / "walk.png");
       f.answer_input({"96"});
     },
     writes("walk.png")},
    {"copycurves",
     {},
     [](GuiFixture&) {
       return QGuiApplication::clipboard()->text().startsWith("Curve\t") ? "" : "no curves copied";
     }},
    {"savecsv", [](GuiFixture& f) { f.answer_file(f.folder() / "walk.csv"); }, writes("walk.csv")},
    {"table", {}, opens(analysis::kTableWindowName)},
    {"difference",
     [](GuiFixture& f) {
       f.answer_input({"1", "2"});
     },
     opens(analysis::kDifferenceWindowName)},
    {"balance",
     {},
     [](GuiFixture& f) {
       return f.window(3) && f.window(3)->isVisible() && f.window(4) && f.window(4)->isVisible()
                  ? ""
                  : "no turn windows";
     }},
    {"sweep",
     [](GuiFixture& f) {
       f.answer_input({"LSC", "", ""});
     },
     opens(analysis::kSweepWindowName)},
    {"closest", {}, opens(analysis::kClosestWindowName)},
    {"dynoerror", {}, opens(analysis::kDynoErrorWindowName)},
    {"guides",
     [](GuiFixture& f) {
       f.answer_input({"250", "30", "Show"});
     },
     [](GuiFixture& f) { return f.program_->tools->tuning().guides() ? "" : "no guides drawn"; }},
    {"ratio",
     [](GuiFixture& f) {
       f.answer_input({"250", "30"});
     },
     opens(analysis::kRatioWindowName)},
    {"ride",
     [](GuiFixture& f) {
       f.answer_input({"250", "40", "30", "250", "Shaker"});
       f.answer_input({"5", "0.5", "25", "40"});
     },
     opens(analysis::kRideWindowName)},
    {"gripmap",
     [](GuiFixture& f) { f.answer_input({"250", "40", "30", "250", "HSR", "C", "100", "3"}); },
     opens(analysis::kGripWindowName)},
    {"undo", {},
     [](GuiFixture& f) { return f.globals().counter == 4 ? "" : "PLOT not taken back"; }},
    {"redo",
     [](GuiFixture& f) {
       f.activate(2);
       QTest::keyClick(f.window(2), Qt::Key_Z, Qt::ControlModifier);  // something to redo
     },
     [](GuiFixture& f) { return f.globals().counter == 5 ? "" : "PLOT not brought again"; }},
    {"library", {}, opens(library::kLibraryWindowName)},
    {"readrun",
     [](GuiFixture& f) {
       f.answer_file(walk_run(f));
       f.answer_input({"Take off the curve", "Take off the curve"});
     },
     opens(analysis::kDynoRunWindowName)},
    {"dynorun", run_read, opens(analysis::kDynoRunWindowName)},
    {"dynoruncopy", run_read,
     [](GuiFixture&) {
       return QGuiApplication::clipboard()->text().startsWith("File\twalk_run.csv")
                  ? ""
                  : "no dyno run figures copied";
     }},
    {"wholesetup", [](GuiFixture& f) { f.answer_input({"Both"}); },
     opens(analysis::kWholeSetupWindowName)},
    {"trackdata", [](GuiFixture& f) { f.answer_file(walk_log(f)); },
     opens(analysis::kTrackWindowName)},
    {"hidetrack",
     [](GuiFixture& f) { f.program_->tools->measured_tools().load_track(walk_log(f)); },
     [](GuiFixture& f) {
       return analysis::track_band_objects(f.model(),
                                           f.model().get<gfx::Axes>(f.globals().plothandle))
                      .empty()
                  ? ""
                  : "track bands still shown";
     }},
};

class MenuWalk : public GuiFixture,
                 public ::testing::WithParamInterface<std::tuple<const Item*, bool>> {
 protected:
  // Four curves and a dyno curve held: every item has something to work on.
  void SetUp() override {
    GuiFixture::SetUp();
    const DynoBytes file =
        DynoBytes::file(1, 1, {-0.3f, -0.1f, 0, 0.1f, 0.3f}, {-900, -300, 0, 250, 700});
    std::ofstream(folder() / "measured.pvp", std::ios::binary)
        .write(reinterpret_cast<const char*>(file.bytes.data()),
               static_cast<std::streamsize>(file.bytes.size()));
    click(1, "holdroehrig");
    answer_file(folder() / "measured.pvp");
    click(1, "ROEHRIG");
    for (int i = 0; i < 4; ++i) click(1, "PLOT");
    ASSERT_TRUE(errors_.empty()) << errors_.front();
    ASSERT_EQ(globals().counter, 5);
  }
};

TEST_P(MenuWalk, EveryItemDoesWhatItSaysByKeyAndByRightClick) {
  const auto [item, by_key] = GetParam();
  const auto actions = ComparisonTools::actions();
  const auto a = std::find_if(actions.begin(), actions.end(),
                              [&](const ProgramAction& x) { return x.id == item->id; });
  ASSERT_NE(a, actions.end());
  QGuiApplication::clipboard()->setText("");
  if (item->answer) item->answer(*this);
  activate(2);
  if (by_key) {
    const QKeySequence key(QString::fromUtf8(a->key.data(), static_cast<int>(a->key.size())));
    QTest::keySequence(window(2), key);
  } else {
    pick_from_menu(*this, QString::fromUtf8(a->label.data(), static_cast<int>(a->label.size())));
  }
  toolkit_->sync();
  EXPECT_TRUE(errors_.empty()) << errors_.front();
  EXPECT_TRUE(answerer_.unanswered.empty()) << answerer_.unanswered.front();
  EXPECT_EQ(item->appeared(*this), "");
}

INSTANTIATE_TEST_SUITE_P(ComparisonMenu, MenuWalk,
                         ::testing::Combine(::testing::ValuesIn([] {
                                              std::vector<const Item*> v;
                                              for (const Item& i : kItems) v.push_back(&i);
                                              return v;
                                            }()),
                                            ::testing::Bool()),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param)->id) +
                                  (std::get<1>(info.param) ? "_by_key" : "_by_menu");
                         });

// Every item the menu offers is walked above.
TEST(MenuWalkCoverage, EveryComparisonMenuItemIsWalked) {
  for (const ProgramAction& a : ComparisonTools::actions()) {
    if (a.place != ActionPlace::ComparisonMenu && a.place != ActionPlace::BothMenus) continue;
    const bool walked = std::any_of(std::begin(kItems), std::end(kItems),
                                    [&](const Item& i) { return a.id == i.id; });
    EXPECT_TRUE(walked) << a.id;
  }
}

}  // namespace
}  // namespace quorin::test
