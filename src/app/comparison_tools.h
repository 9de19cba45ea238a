// The comparison window's context menu and what its items do: pictures, curve tables,
// differences, show/hide by the legend, undo and redo of the plotting actions, and the
// front/rear balance. Each item also has a keyboard shortcut; Undo and Redo are in the main
// window's menu too.
#pragma once

#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>

#include "analysis/history.h"
#include "app/library_tools.h"
#include "app/measured_tools.h"
#include "app/ride_tools.h"
#include "app/tuning_tools.h"
#include "startup/function_table.h"
#include "startup/program.h"

namespace quorin {


// The command name the menu items run: comparison_menu('<item>'[, '<argument>']).
inline constexpr std::string_view kMenuCommand = "comparison_menu";
// The main window's "Reopen last session": session_menu('reopen'), run by the program put
// together around this one.
inline constexpr std::string_view kSessionCommand = "session_menu";
inline constexpr std::string_view kReopenCommand = "session_menu('reopen')";

// Where an action is offered to the user.
enum class ActionPlace {
  ComparisonMenu,  // the comparison window's right-click menu
  BothMenus,       // that menu and the main window's
  MainMenu,        // the main window's right-click menu only
  ToolWindow,      // a button of a tool window, or a click on the legend
  MainButton,      // a button of the main window, run by the damper processor
};

class ComparisonTools;

// One action of the program beyond the damper processor's own: what it is called, where it is
// offered, its key, whether it is a step of the undo history, and what runs it.
struct ProgramAction {
  std::string_view id;     // comparison_menu('<id>'), or the processor's action name
  std::string_view label;  // as the menu shows it
  std::string_view key;    // the key in its window; empty: none
  ActionPlace place;
  bool undoable = false;   // running it makes a step that Undo takes back
  bool separator = false;  // a line above it in its menu
  // What it does, in the words the help, the manual page and the documents give it.
  std::string_view help = {};
  // Runs the action with the argument of its command; nullptr for the processor's actions,
  // which run through the function table. Throws RuntimeError.
  void (*run)(ComparisonTools& tools, const std::string& argument) = nullptr;
  std::string_view command = {};  // its command text when not comparison_menu('<id>')
};

class ComparisonTools final : public ProgramMenus {
 public:
  // Every action, in menu order: the menus, their keys, the undo history and the help are
  // all made from this one table.
  static std::span<const ProgramAction> actions();

  explicit ComparisonTools(Program& program) : p_(program) {}
  // Puts a program's menus in: every program the user or a test meets has them.
  static ComparisonTools& attach(Program& program);

  // Puts the context menus into the comparison window and the main window (after start-up).
  void install_menus() override;

  // Runs `c` when it is a menu command or the Help button's; false when it is neither.
  // Throws RuntimeError.
  bool run(const Command& c) override;

  // Around every command: an undoable action's state is taken before it, and after it a
  // change becomes an undo step; after every command the hidden curves are applied again.
  void before_command(const Command& c) override;
  // The plot as it is now becomes the state an action about to run can be taken back to.
  void before_undoable() { before_ = capture(); }
  // The same for an action that changes the main window's selections as well: Undo puts
  // them back too.
  void before_undoable_selections() { before_ = capture(true); }
  void after_command() override;

  const std::set<int>& hidden_curves() const { return hidden_; }
  // Hides these curves (and shows the others) from the next command on.
  void set_hidden(std::set<int> hidden) { hidden_ = std::move(hidden); }
  const analysis::History& history() const { return history_; }
  const TuningTools& tuning() const { return tuning_; }
  TuningTools& tuning_tools() { return tuning_; }
  LibraryTools& library_tools() { return library_; }
  RideTools& ride_tools() { return ride_; }
  MeasuredTools& measured_tools() { return measured_; }

 private:
  std::optional<analysis::PlotState> capture(bool with_selections = false);
  void restore(const analysis::PlotState& s);
  void apply_hidden();
  bool si_shown();

  void save_picture();
  void copy_curves();
  void save_csv();
  void show_table();
  void copy_table();
  void difference();
  void undo(bool forward);
  void toggle_curve(const std::string& number);
  void balance();

  Program& p_;
  TuningTools tuning_{p_};
  LibraryTools library_{p_};
  RideTools ride_{p_};
  MeasuredTools measured_{p_};
  analysis::History history_;
  std::optional<analysis::PlotState> before_;
  std::set<int> hidden_;
};

}  // namespace quorin
