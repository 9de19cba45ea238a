// quorin_interface_v41: the main window "Valdane Racing" with every control of the user
// interface, and the start-up sequence that prepares the comparison and turn windows and puts
// the globals into their starting state.
#pragma once

#include "services/gfx/model.h"
#include "windows/window_context.h"

namespace quorin {

// The whole start-up sequence: counters, valving tables, window 1 and its controls, the
// comparison window (2) and the turn windows (3, 4, closed again at the end) with their axes
// handles in the globals, the logo, the data folder `pn`, window 1 in front, and `ShockData`
// and `import` reset. Returns window 1's handle. Throws RuntimeError naming the file and the
// folder when a data file or logo cannot be read, or naming a variable the window data lacks;
// the later steps then do not run.
gfx::Handle quorin_interface_v41(WindowContext& ctx);

// Starts reading the valving tables of the start folder `folder` on another thread, so the
// parsing runs while the windows are made and shown. The next start-up sequence for that
// folder takes them from there instead of reading the file again: a missing file still stops
// it before any window is made; the tables, or the failure to read them (with the message
// reading them there would give), come at the end of the sequence when they are not ready
// at its beginning.
void read_valving_tables_ahead(const std::filesystem::path& folder);

// Opens the left-hand-turn and right-hand-turn windows again when they were closed (as
// start-up leaves them), with their axes prepared as start-up prepares them and their handles
// in the globals; a window whose axes are all alive is left as it is.
void open_turn_windows(WindowContext& ctx);

// The command name of the main window's Help button: quorin_help('<document>') opens one of
// the program's documents (the user guide) in the help window.
inline constexpr std::string_view kHelpCommand = "quorin_help";

// The file names the start folder must hold.
inline constexpr std::string_view kValvingFile = "quorin_matrix_2007_v1";
inline constexpr std::string_view kMainWindowFile = "quorin_interface_v41";
inline constexpr std::string_view kMainLogoFile = "logo_small.bmp";

}  // namespace quorin
