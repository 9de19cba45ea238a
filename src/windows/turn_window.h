// The one design behind the two turn balance windows (left-hand and right-hand turn): force
// axes, balance axes, key axes and logo; `lht` and `rht` differ only in the items below.
#pragma once

#include <string_view>

#include "services/gfx/model.h"
#include "windows/window_context.h"

namespace quorin {

struct TurnWindowDesign {
  std::string_view data_file;    // "lht" or "rht"
  int variables;                 // mat0 .. mat<variables - 1>
  std::string_view name;         // window Name and force axes title
  std::string_view key_tag, plot_tag, balance_tag;
  gfx::Rect compression_caption;  // normalized
  double compression_font_size;   // 0: the toolkit's default
  bool logo_xlabel_position;      // mat6 places the logo axes' hidden x label
};

// Builds the turn window of the design and leaves it current; returns its handle. Throws
// RuntimeError naming a missing file or variable.
gfx::Handle build_turn_window(WindowContext& ctx, const TurnWindowDesign& design);

}  // namespace quorin
