// The action dispatcher: the prologue refreshes the limits and unit flags on every call, and
// only the exact action names do anything more.
#include <gtest/gtest.h>

#include <sstream>

#include "processor/processor.h"
#include "services/runtime_error.h"

namespace quorin {
namespace {

class DispatcherTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gfx::Window& w = gfx.new_window();
    for (auto [tag, text] : {std::pair{"xmin", "0"}, {"xmax", "10"}, {"ymin", "-500"}, {"ymax", "500"}}) {
      gfx::Control& c = gfx.new_control(w, gfx::Control::Style::Edit);
      c.tag = tag;
      c.string = text;
    }
    for (auto [tag, value] : {std::pair{"SIUnits", 0.0}, {"USUnits", 1.0}}) {
      gfx::Control& c = gfx.new_control(w, gfx::Control::Style::Radio);
      c.tag = tag;
      c.value = value;
    }
  }
  gfx::Control& box(const char* tag) { return control_by_tag(gfx, tag); }
  void run(std::string_view action) {
    Processor p{g, gfx, dialogs, console, "/home/racer/setups", [] {}};
    quorin_processor_ct(p, action);
  }

  Globals g;
  gfx::Model gfx;
  ScriptedDialogs dialogs;
  std::ostringstream console;
};

TEST_F(DispatcherTest, PrologueRefreshesOnEveryCallEvenForUnknownNames) {
  run("nothing");
  EXPECT_EQ(g.path, "/home/racer/setups");
  EXPECT_EQ(g.directory, "/home/racer/setups/data/");
  EXPECT_EQ(g.xmin, 0);
  EXPECT_EQ(g.xmax, 10);
  EXPECT_EQ(g.ymin, -500);
  EXPECT_EQ(g.ymax, 500);
  EXPECT_EQ(g.siunits, 0);
  EXPECT_EQ(g.usunits, 1);

  box("xmax").string = "0.254";
  box("ymin").string = " -8907 ";
  box("SIUnits").value = 1;
  box("USUnits").value = 0;
  run("also nothing");
  EXPECT_EQ(g.xmax, 0.254);
  EXPECT_EQ(g.ymin, -8907);
  EXPECT_EQ(g.siunits, 1);
  EXPECT_EQ(g.usunits, 0);
}

TEST_F(DispatcherTest, TextThatIsNoNumberLeavesTheLimitEmpty) {
  box("xmin").string = "abc";
  box("ymax").string = "";
  run("nothing");
  EXPECT_FALSE(g.xmin.has_value());
  EXPECT_FALSE(g.ymax.has_value());
  EXPECT_EQ(g.xmax, 10);
}

TEST_F(DispatcherTest, NamesMatchExactlyAndCaseSensitively) {
  // Names that differ in case or carry blanks reach no action; a real name reaches its action.
  for (const char* name : {"View", "VIEW", " view", "view ", "valveseat", "", "Clear"}) {
    g.counter = 5;
    EXPECT_NO_THROW(run(name)) << name;
    EXPECT_EQ(g.counter, 5) << name;
  }
}

TEST_F(DispatcherTest, MissingLimitBoxIsAClearError) {
  gfx.delete_object(box("ymax").handle());
  try {
    run("nothing");
    FAIL();
  } catch (const RuntimeError& e) {
    EXPECT_NE(std::string(e.what()).find("ymax"), std::string::npos);
  }
}

}  // namespace
}  // namespace quorin
