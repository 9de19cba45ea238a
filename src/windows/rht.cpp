#include "windows/rht.h"

namespace quorin {

const TurnWindowDesign kRightHandTurn{
    .data_file = "rht",
    .variables = 7,
    .name = "Right Hand Turn",
    .key_tag = "ID_rht",
    .plot_tag = "plotwindow_rht",
    .balance_tag = "balance_rht",
    .compression_caption = {0.08463541666666666, 0.9245283018867925, 0.08333333333333333, 0.02935010482180294},
    .compression_font_size = 8,
    .logo_xlabel_position = true,
};

gfx::Handle rht(WindowContext& ctx) { return build_turn_window(ctx, kRightHandTurn); }

}  // namespace quorin
