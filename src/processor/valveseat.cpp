// The valve seat boxes under the two valve popups: rows 1 to 7 are valves for one seat, all
// later rows valves for the other.
#include <string_view>

#include "processor/processor.h"

namespace quorin::actions {
namespace {

constexpr std::string_view kSeatLowRows = "7731-02";   // valve rows 1 to 7
constexpr std::string_view kSeatHighRows = "7731-01";  // valve rows 8 and above

void show_seat(Processor& p, std::string_view popup, std::string_view seat_box) {
  const double row = control_by_tag(p.gfx, popup).value;
  gfx::Control& box = control_by_tag(p.gfx, seat_box);
  box.string = row > 7 ? kSeatHighRows : kSeatLowRows;
  p.gfx.touch();
}

}  // namespace

void valveseatcompression(Processor& p) { show_seat(p, "CompressionValve", "valveseatcompression"); }
void valveseatrebound(Processor& p) { show_seat(p, "ReboundValve", "valveseatrebound"); }

}  // namespace quorin::actions
