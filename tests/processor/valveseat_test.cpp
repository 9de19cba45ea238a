// The valve seat boxes follow the row of their valve popup: rows 1 to 7 one seat, later rows
// the other.
#include <gtest/gtest.h>

#include <sstream>

#include "processor/processor.h"

namespace quorin {
namespace {

class ValveSeat : public ::testing::Test {
 protected:
  void SetUp() override {
    gfx::Window& w = gfx.new_window();
    using S = gfx::Control::Style;
    for (auto [tag, style, text] : {std::tuple{"xmin", S::Edit, "0"}, {"xmax", S::Edit, "10"},
                                    {"ymin", S::Edit, "-500"}, {"ymax", S::Edit, "500"},
                                    {"SIUnits", S::Radio, ""}, {"USUnits", S::Radio, ""},
                                    {"CompressionValve", S::Popup, ""}, {"ReboundValve", S::Popup, ""},
                                    {"valveseatcompression", S::Edit, "7731-02"},
                                    {"valveseatrebound", S::Edit, "7731-02"}}) {
      gfx::Control& c = gfx.new_control(w, style);
      c.tag = tag;
      c.string = text;
      c.value = style == S::Popup ? 3 : 0;
    }
  }
  std::string seat_after(const char* popup, double row, const char* action, const char* box) {
    control_by_tag(gfx, popup).value = row;
    Processor p{g, gfx, dialogs, console, "/tmp", [] {}};
    quorin_processor_ct(p, action);
    return control_by_tag(gfx, box).string;
  }

  Globals g;
  gfx::Model gfx;
  ScriptedDialogs dialogs;
  std::ostringstream console;
};

TEST_F(ValveSeat, RowAboveSevenTakesTheOtherSeat) {
  struct Row {
    double row;
    const char* seat;
  };
  for (const Row r : {Row{1, "7731-02"}, Row{7, "7731-02"}, Row{8, "7731-01"}, Row{12, "7731-01"},
                      Row{7, "7731-02"}}) {
    EXPECT_EQ(seat_after("CompressionValve", r.row, "valveseatcompression", "valveseatcompression"), r.seat)
        << "compression row " << r.row;
    EXPECT_EQ(seat_after("ReboundValve", r.row, "valveseatrebound", "valveseatrebound"), r.seat)
        << "rebound row " << r.row;
  }
}

TEST_F(ValveSeat, EachActionWritesOnlyItsOwnSide) {
  control_by_tag(gfx, "ReboundValve").value = 9;
  EXPECT_EQ(seat_after("CompressionValve", 9, "valveseatcompression", "valveseatrebound"), "7731-02");
  EXPECT_EQ(control_by_tag(gfx, "valveseatcompression").string, "7731-01");
}

}  // namespace
}  // namespace quorin
