#include "app/menu_parts.h"

#include "app/comparison_tools.h"
#include "services/runtime_error.h"

namespace quorin {

std::string command_text(std::string_view item, std::string_view argument) {
  std::string s = std::string(kMenuCommand) + "('" + std::string(item) + "'";
  if (!argument.empty()) s += ", '" + std::string(argument) + "'";
  return s + ")";
}

gfx::Control& main_window_control(gfx::Model& m, std::string_view tag) {
  constexpr int kMainWindow = 1;
  gfx::Window* w = m.window(kMainWindow);
  if (!w) throw RuntimeError("The main window is not open.");
  for (gfx::Object* o : m.find_all_by_tag(*w, tag))
    if (auto* c = dynamic_cast<gfx::Control*>(o)) return *c;
  throw RuntimeError("The control \"" + std::string(tag) + "\" is not in the main window.");
}

}  // namespace quorin
