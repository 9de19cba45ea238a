#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>

#include <gtest/gtest.h>

#include "services/runtime_error.h"
#include "services/varfile.h"
#include "windows/quorin_interface_v41.h"
#include "windows/window_test_support.h"

namespace quorin {
namespace {

gfx::Control& control(gfx::Model& m, std::string_view tag) {
  auto* c = dynamic_cast<gfx::Control*>(m.find_by_tag(tag));
  if (!c) throw std::logic_error("no control " + std::string(tag));
  return *c;
}

class StartUp : public ::testing::Test {
 protected:
  void SetUp() override { main_ = quorin_interface_v41(rig_.ctx); }
  test::WindowRig rig_;
  gfx::Handle main_;
};

TEST_F(StartUp, LeavesWindowOneInFrontOfTwoWithTheTurnWindowsClosed) {
  EXPECT_EQ(main_.value, 1);
  EXPECT_EQ(rig_.gfx.window_numbers(), (std::vector<int>{1, 2}));
  EXPECT_EQ(rig_.gfx.stacking(), (std::vector<int>{2, 1}));
  EXPECT_EQ(rig_.gfx.current_window()->number, 1);
  EXPECT_EQ(rig_.gfx.window(1)->name, "Valdane Racing");
  EXPECT_EQ(rig_.gfx.window(2)->name, "Damper Curve Comparison");
}

TEST_F(StartUp, ControlsStartWithTheirValues) {
  const std::map<std::string, double> values = {
      {"USUnits", 1}, {"SIUnits", 0}, {"clearall", 1}, {"holdimport", 0}, {"holdroehrig", 0},
      {"printall", 0}, {"CompressionValve", 3}, {"ReboundValve", 3}, {"CompressionSpring", 3},
      {"ReboundSpring", 3}, {"LSC", 21}, {"LSR", 21}, {"HSC", 31}, {"HSR", 31}};
  for (const auto& [tag, v] : values) EXPECT_EQ(control(rig_.gfx, tag).value, v) << tag;
  const std::map<std::string, std::string> texts = {
      {"xmin", "0"}, {"xmax", "10"}, {"ymin", "-500"}, {"ymax", "500"},
      {"valveseatcompression", "7731-02"}, {"valveseatrebound", "7731-02"}, {"piston", "40"},
      {"externalshaft", "12"}, {"internalshaft", "12"}, {"motionratio", "1"},
      {"curveselect", "1"}, {"plotindex", "1"}};
  for (const auto& [tag, s] : texts) EXPECT_EQ(control(rig_.gfx, tag).string, s) << tag;
  // Every starting row exists in its popup's list.
  for (const char* tag : {"CompressionValve", "ReboundValve", "CompressionSpring", "ReboundSpring",
                          "LSC", "LSR", "HSC", "HSR"}) {
    const gfx::Control& c = control(rig_.gfx, tag);
    EXPECT_LE(c.value, static_cast<double>(c.items.size())) << tag;
  }
  EXPECT_EQ(control(rig_.gfx, "valveseatcompression").enable, "inactive");
  EXPECT_FALSE(rig_.gfx.window(1)->resize);
}

TEST_F(StartUp, ButtonsCarryTheirCommandsWithTheirTrailingBlanks) {
  const std::map<std::string, std::string> commands = {
      {"CLEAR", "quorin_processor_ct('clear')" + std::string(43, ' ')},
      {"PLOT", "quorin_processor_ct('view')" + std::string(6, ' ')},
      {"UPDATE #     ", "quorin_processor_ct('overwrite')" + std::string(6, ' ')},
      {"PRINT", "quorin_processor_ct('print')" + std::string(6, ' ')},
      {"Add 3rd", "quorin_processor_ct('add3rd')" + std::string(6, ' ')},
      {"Rescale", "quorin_processor_ct('rescale')" + std::string(6, ' ')},
      {"EXIT", "quorin_processor_ct('exit')" + std::string(6, ' ')},
      {"IMPORT", "quorin_processor_ct('import')"},
      {"EXPORT #     ", "quorin_processor_ct('export')"},
      {"SAVE", "quorin_processor_ct('save')"},
      {"LOAD", "quorin_processor_ct('load')"},
      {"ROEHRIG", "quorin_processor_ct('roehrig')"},
      {"Help", "quorin_help('user-guide.md')"}};  // opens the user guide in the help window
  std::map<std::string, std::string> found;
  for (gfx::Control* c : rig_.gfx.children_of<gfx::Control>(*rig_.gfx.window(1)))
    if (c->style == gfx::Control::Style::PushButton) found[c->string] = c->callback;
  EXPECT_EQ(found, commands);
  const std::map<std::string, std::string> by_tag = {
      {"SIUnits", "quorin_processor_ct('si')" + std::string(22, ' ')},
      {"USUnits", "quorin_processor_ct('us')" + std::string(22, ' ')},
      {"CompressionValve", "quorin_processor_ct('valveseatcompression')" + std::string(7, ' ')},
      {"ReboundValve", "quorin_processor_ct('valveseatrebound')" + std::string(7, ' ')},
      {"LSC", ""}, {"piston", ""}};
  for (const auto& [tag, cmd] : by_tag) EXPECT_EQ(control(rig_.gfx, tag).callback, cmd) << tag;
}

TEST_F(StartUp, BuildsTheSeventyEightControlsInOrderWithPointRowsInPoints) {
  auto controls = rig_.gfx.children_of<gfx::Control>(*rig_.gfx.window(1));
  ASSERT_EQ(controls.size(), 78u);
  EXPECT_EQ(controls.front()->string, "CLEAR");
  EXPECT_EQ(controls.back()->tag, "internalshaft");
  // Controls 54, 56 to 59, 61 to 64 are laid out in points; the rest in pixels.
  const std::set<std::size_t> in_points = {54, 56, 57, 58, 59, 61, 62, 63, 64};
  for (std::size_t i = 0; i < controls.size(); ++i)
    EXPECT_EQ(controls[i]->units == gfx::Units::Points, in_points.count(i + 1) == 1) << "control " << i + 1;
  EXPECT_EQ(controls[53]->position, (gfx::Rect{-3.75, 474.75, 306.75, 3}));
  EXPECT_FALSE(controls[54]->visible);  // the logo's grey frame
  // Look B and look L.
  const gfx::Control& plot = *controls[1];
  EXPECT_EQ(plot.background, (gfx::Color{0, 90 / 255.0, 171 / 255.0}));
  EXPECT_EQ(plot.foreground, (gfx::Color{248 / 255.0, 190 / 255.0, 44 / 255.0}));
  EXPECT_EQ(plot.font_size, 9);
  EXPECT_EQ(plot.font_weight, "demi");
  const gfx::Control& all = control(rig_.gfx, "clearall");
  EXPECT_EQ(all.background, (gfx::Color{166 / 255.0, 162 / 255.0, 140 / 255.0}));
  EXPECT_EQ(plot.tooltip, "Plots the damper you built. You can overlay up to 7 graphs.");
  EXPECT_EQ(controls[0]->tooltip, "Clears the plot");  // from the window data
}

TEST_F(StartUp, LogoShowsTheBitmapInTheHiddenLogoAxes) {
  gfx::Axes& logo = test::only<gfx::Axes>(rig_.gfx, *rig_.gfx.window(1), "Axes1");
  EXPECT_FALSE(logo.visible);
  EXPECT_EQ(logo.xlim, (std::array<double, 2>{0.5, 115.5}));
  EXPECT_EQ(logo.ylim, (std::array<double, 2>{0.5, 51.5}));
  EXPECT_TRUE(logo.ydir_reverse);
  auto images = rig_.gfx.children_of<gfx::Image>(logo);
  ASSERT_EQ(images.size(), 1u);
  EXPECT_EQ(images[0]->width, 115u);
  EXPECT_EQ(images[0]->height, 51u);
  EXPECT_EQ(images[0]->channels, 3u);
}

TEST_F(StartUp, GlobalsTakeTheirStartingValues) {
  const Globals& g = rig_.g;
  EXPECT_EQ(g.counter, 1);  // a counter in the valving file is not taken
  EXPECT_EQ(g.counter2, 1);
  EXPECT_EQ(g.compvel.valves, 12u);
  EXPECT_EQ(g.rebforce.springs, 4u);
  ASSERT_TRUE(g.pn.has_value());
  EXPECT_EQ(*g.pn, (rig_.folder.path() / "data").string() + "/");
  EXPECT_EQ(g.import.rows, 1u);
  EXPECT_EQ(g.import.cols, 3u);
  EXPECT_EQ(g.import.row_order(), (std::vector<double>{0, 0, 0}));
  const Value& speed = g.ShockData.field("Speed_1");
  EXPECT_EQ(speed.field_names(), (std::vector<std::string>{"Force", "Velocity"}));
  EXPECT_EQ(speed.field("Force").field("Data"), Value::number(0));
  EXPECT_EQ(speed.field("Velocity").field("Data"), Value::number(0));
}

TEST_F(StartUp, ComparisonHandlesPointAtTheTaggedAxesWithTheirTexts) {
  gfx::Model& m = rig_.gfx;
  auto& plot = m.get<gfx::Axes>(rig_.g.plothandle);
  EXPECT_EQ(plot.tag, "plotwindow");
  EXPECT_EQ(m.get<gfx::Axes>(rig_.g.IDhandle).tag, "ID");
  EXPECT_EQ(m.window_of(plot.handle()).number, 2);
  EXPECT_EQ(m.window(2)->current_axes, rig_.g.plothandle);
  for (gfx::Handle h : {plot.title, plot.xlabel, plot.ylabel}) {
    const auto& t = m.get<gfx::Text>(h);
    EXPECT_EQ(t.font_name, "times");
    EXPECT_EQ(t.font_size, 10);
    EXPECT_EQ(t.font_angle, "italic");
  }
  EXPECT_EQ(m.get<gfx::Text>(plot.title).string, "Damper Curve Comparison");
  // The turn windows' axes went with their windows.
  for (gfx::Handle h : {rig_.g.plothandle_lht, rig_.g.balance_lht, rig_.g.ID_lht, rig_.g.plothandle_rht,
                        rig_.g.balance_rht, rig_.g.ID_rht}) {
    EXPECT_TRUE(h);
    EXPECT_FALSE(m.valid(h));
  }
}

// Start-up stopped by each supplied file in turn: the message names the file and the folder.
class MissingFile : public ::testing::TestWithParam<const char*> {};

TEST_P(MissingFile, StopsStartUpNamingFileAndFolder) {
  test::WindowRig rig;
  std::filesystem::remove(rig.folder.path() / GetParam());
  try {
    quorin_interface_v41(rig.ctx);
    FAIL() << "no error";
  } catch (const RuntimeError& e) {
    const std::string m = e.what();
    EXPECT_NE(m.find(std::string("\"") + GetParam() + "\""), std::string::npos) << m;
    EXPECT_NE(m.find(rig.folder.path().string()), std::string::npos) << m;
  }
  EXPECT_FALSE(rig.g.pn.has_value());
}

INSTANTIATE_TEST_SUITE_P(EachFile, MissingFile,
                         ::testing::Values("quorin_matrix_2007_v1.mat", "quorin_interface_v41.mat",
                                           "plotfigure.mat", "lht.mat", "rht.mat", "logo_plot.bmp",
                                           "logo_small.bmp"),
                         [](const auto& info) {
                           std::string n = info.param;
                           for (char& c : n) if (c == '.') c = '_';
                           return n;
                         });

TEST(StartUpFiles, MissingWindowVariableIsNamedAndEarlierObjectsStay) {
  test::WindowRig rig;
  NamedValues vars = test::StartFolderFixture::interface_variables();
  std::erase_if(vars, [](const auto& v) { return v.first == "mat14"; });
  save_variables(rig.folder.path() / "quorin_interface_v41", vars);
  try {
    quorin_interface_v41(rig.ctx);
    FAIL() << "no error";
  } catch (const RuntimeError& e) {
    EXPECT_NE(std::string(e.what()).find("\"mat14\""), std::string::npos) << e.what();
  }
  // Controls 1 to 36 were made before the valve list was needed.
  EXPECT_EQ(rig.gfx.children_of<gfx::Control>(*rig.gfx.window(1)).size(), 37u);
}

// A main logo that cannot be decoded stops start-up after windows 1 to 4 exist, so the turn
// windows' handles can be seen before start-up would close them.
TEST(StartUpFiles, UnreadableLogoStopsAfterTheTurnWindowsWithTheirHandlesStored) {
  test::WindowRig rig;
  std::ofstream(rig.folder.path() / "logo_small.bmp", std::ios::trunc);
  EXPECT_THROW(quorin_interface_v41(rig.ctx), RuntimeError);
  gfx::Model& m = rig.gfx;
  EXPECT_EQ(m.window_numbers(), (std::vector<int>{1, 2, 3, 4}));
  EXPECT_FALSE(rig.g.pn.has_value());

  struct Stored {
    gfx::Handle handle;
    const char* tag;
    int window;
    const char* title;
    const char* xlabel;
    const char* ylabel;
  };
  const Globals& g = rig.g;
  for (const Stored& s : {Stored{g.plothandle_lht, "plotwindow_lht", 3, "Left Hand Turn", "", "Force (lbs)"},
                          Stored{g.balance_lht, "balance_lht", 3, "", "Velocity (inches/s)", "% Front"},
                          Stored{g.ID_lht, "ID_lht", 3, "", "", ""},
                          Stored{g.plothandle_rht, "plotwindow_rht", 4, "Right Hand Turn", "", "Force (lbs)"},
                          Stored{g.balance_rht, "balance_rht", 4, "", "Velocity (inches/s)", "% Front"},
                          Stored{g.ID_rht, "ID_rht", 4, "", "", ""}}) {
    auto& a = m.get<gfx::Axes>(s.handle);
    EXPECT_EQ(a.tag, s.tag);
    EXPECT_EQ(m.window_of(s.handle).number, s.window) << s.tag;
    EXPECT_EQ(m.get<gfx::Text>(a.title).string, s.title) << s.tag;
    EXPECT_EQ(m.get<gfx::Text>(a.xlabel).string, s.xlabel) << s.tag;
    EXPECT_EQ(m.get<gfx::Text>(a.ylabel).string, s.ylabel) << s.tag;
    if (*s.ylabel) {
      EXPECT_EQ(m.get<gfx::Text>(a.ylabel).font_size, 10) << s.tag;
      EXPECT_EQ(m.get<gfx::Text>(a.ylabel).font_angle, "italic") << s.tag;
    }
  }
  EXPECT_EQ(m.get<gfx::Axes>(g.balance_rht).ylim, (std::array<double, 2>{0, 100}));
}

// What a start-up sequence leaves: the tables it stored (as text), the windows, or the error.
struct StartOutcome {
  std::string tables, error;
  std::vector<int> windows;
};

StartOutcome start_once(test::WindowRig& rig) {
  StartOutcome out;
  try {
    quorin_interface_v41(rig.ctx);
  } catch (const RuntimeError& e) {
    out.error = e.what();
  }
  for (const ValvingTable* t : {&rig.g.compforce, &rig.g.compvel, &rig.g.rebforce, &rig.g.rebvel})
    out.tables += dump_value(to_value(*t)) + "\n";
  out.windows = rig.gfx.window_numbers();
  return out;
}

TEST(StartUpReadAhead, StoresWhatReadingInTheSequenceStoresAndFailsAlike) {
  struct Case {
    const char* name;
    std::function<void(const std::filesystem::path&)> spoil;
  };
  const std::filesystem::path file = "quorin_matrix_2007_v1.mat";
  const std::vector<Case> cases = {
      {"intact", [](const std::filesystem::path&) {}},
      {"missing", [&](const std::filesystem::path& f) { std::filesystem::remove(f / file); }},
      {"cut short",
       [&](const std::filesystem::path& f) { std::filesystem::resize_file(f / file, 100); }},
      {"not a table", [&](const std::filesystem::path& f) {
         save_variables(f / "quorin_matrix_2007_v1", {{"compvel", Value::number(1)},
                                                      {"compforce", Value::number(2)},
                                                      {"rebvel", Value::number(3)},
                                                      {"rebforce", Value::number(4)}});
       }}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::WindowRig in_sequence, ahead;
    c.spoil(in_sequence.folder.path());
    c.spoil(ahead.folder.path());
    const StartOutcome plain = start_once(in_sequence);
    read_valving_tables_ahead(ahead.folder.path());
    StartOutcome early = start_once(ahead);
    // The folder's own name is in the messages.
    const std::string a = in_sequence.folder.path().string(), b = ahead.folder.path().string();
    for (auto at = early.error.find(b); at != std::string::npos; at = early.error.find(b))
      early.error.replace(at, b.size(), a);
    EXPECT_EQ(early.error, plain.error);
    EXPECT_EQ(early.tables, plain.tables);
    if (c.name == std::string("intact")) {
      EXPECT_TRUE(plain.error.empty()) << plain.error;
      EXPECT_NE(plain.tables.find("data"), std::string::npos);
    }
    // A missing file stops the sequence before any window is made, read ahead or not.
    if (c.name == std::string("missing")) {
      EXPECT_TRUE(early.windows.empty());
    }
  }
}

TEST(StartUpReadAhead, TablesReadAheadForAnotherFolderAreNotTaken) {
  test::WindowRig other, rig;
  read_valving_tables_ahead(other.folder.path());
  save_variables(rig.folder.path() / "quorin_matrix_2007_v1", {{"compvel", Value::number(1)},
                                                               {"compforce", Value::number(2)},
                                                               {"rebvel", Value::number(3)},
                                                               {"rebforce", Value::number(4)}});
  EXPECT_NE(start_once(rig).error, "");
}

TEST(StartUpDrawing, DrawsTheMainAndComparisonWindowsOnlyNeverTheTurnWindows) {
  test::WindowRig rig;
  std::vector<std::vector<int>> drawn;
  rig.gfx.on_drawnow = [&] { drawn.push_back(rig.gfx.window_numbers()); };
  quorin_interface_v41(rig.ctx);
  EXPECT_EQ(drawn, (std::vector<std::vector<int>>{{1, 2}}));
  // Opened later for the balance, a turn window is drawn as it is built.
  drawn.clear();
  open_turn_windows(rig.ctx);
  EXPECT_EQ(drawn.size(), 2u);
}

}  // namespace
}  // namespace quorin
