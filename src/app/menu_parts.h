#pragma once
// Small pieces the menu tools share: the command text a menu item runs, and the main window's
// controls found by their tags.
#include <string>
#include <string_view>

#include "services/gfx/model.h"

namespace quorin {

// comparison_menu('<item>') or comparison_menu('<item>', '<argument>').
std::string command_text(std::string_view item, std::string_view argument = {});

// The control tagged `tag` in the main window; throws RuntimeError when the window or the
// control is not there.
gfx::Control& main_window_control(gfx::Model& m, std::string_view tag);

}  // namespace quorin
