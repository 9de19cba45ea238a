#include "windows/lht.h"

namespace quorin {

const TurnWindowDesign kLeftHandTurn{
    .data_file = "lht",
    .variables = 6,
    .name = "Left Hand Turn",
    .key_tag = "ID_lht",
    .plot_tag = "plotwindow_lht",
    .balance_tag = "balance_lht",
    .compression_caption = {0.08463541666666666, 0.9182389937106918, 0.08984375, 0.03563941299790357},
    .compression_font_size = 0,
    .logo_xlabel_position = false,
};

gfx::Handle lht(WindowContext& ctx) { return build_turn_window(ctx, kLeftHandTurn); }

}  // namespace quorin
