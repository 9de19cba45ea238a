// The damper processor: the action dispatcher behind the main window's controls and the
// context its actions work in.
#pragma once

#include <filesystem>
#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>

#include "processor/bleed_data.h"
#include "processor/globals.h"
#include "services/dialogs.h"
#include "services/varfile.h"
#include "services/gfx/model.h"

namespace quorin {

// What an action works with. Windows are built by the layer above, so the overlay warning
// window is opened through `warningct`.
struct Processor {
  Globals& g;
  gfx::Model& gfx;
  Dialogs& dialogs;
  std::ostream& console;
  std::filesystem::path current_folder;
  std::function<void()> warningct;
  // Keeps the bleed data between "view" runs while the file is unchanged; null: read afresh.
  BleedCache* bleed_cache = nullptr;
  Printer* printer = nullptr;  // prints windows; none in bare contexts
};

// Runs the prologue (path, directory, the four limits, the unit flags) and then the one
// action named; a name that matches none does only the prologue.
void quorin_processor_ct(Processor& p, std::string_view action);

// The control with this Tag in the current window; throws RuntimeError naming the Tag.
gfx::Control& control_by_tag(gfx::Model& m, std::string_view tag);
// The control of the main window with this Tag, whichever window is current; throws
// RuntimeError when there is none.
gfx::Control& main_control(gfx::Model& m, std::string_view tag);
// The text of a popup's selected row; throws RuntimeError when the row does not exist.
const std::string& selected_row_text(const gfx::Control& popup);

// Refuses a curve number that names no stored curve (curves 1 .. counter - 1 exist): throws
// RuntimeError naming the number, what it was wanted for ("update", "export") and how many
// curves are stored.
void require_stored_curve(double number, double counter, std::string_view wanted_for);

// Raised by an action whose work is not built yet.
[[noreturn]] void not_built_yet(std::string_view action);

// The actions, one source each (processor/<action>.cpp).
namespace actions {
void view(Processor& p);
void clear(Processor& p);
void exit(Processor& p);
void print(Processor& p);
void import(Processor& p);
void export_curve(Processor& p);
void save(Processor& p);
void load(Processor& p);
// The twelve selections a damper file keeps, by their variable names, in the file's order.
std::vector<std::string> damper_file_variables();
// The twelve selections as the main window shows them (the current window stays as it is).
NamedValues read_selections(gfx::Model& m);
// Sets the main window's twelve selections from `vars` as LOAD does: every value is checked
// against the main window before any control changes (`file` names the source in messages),
// then the valve seats follow. Throws RuntimeError.
void apply_selections(Processor& p, const NamedValues& vars, const std::filesystem::path& file);
void roehrig(Processor& p);
void add3rd(Processor& p);
void overwrite(Processor& p);
void rescale(Processor& p);
void si(Processor& p);
void us(Processor& p);
void balance(Processor& p);
void valveseatcompression(Processor& p);
void valveseatrebound(Processor& p);
}  // namespace actions

}  // namespace quorin
