// The comparison window's context menu and what its items do: pictures, curve tables,
// differences, show/hide by the legend, undo and redo of the plotting actions, and the
// front/rear balance. Each item also has a keyboard shortcut; Undo and Redo are in the main
// window's menu too.
#pragma once

#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "analysis/history.h"
#include "startup/function_table.h"
#include "startup/tuning_tools.h"

namespace quorin {

class Program;

// The command name the menu items run: comparison_menu('<item>'[, '<argument>']).
inline constexpr std::string_view kMenuCommand = "comparison_menu";

class ComparisonTools {
 public:
  explicit ComparisonTools(Program& program) : p_(program) {}

  // Puts the context menus into the comparison window and the main window (after start-up).
  void install_menus();

  // Runs `c` when it is a menu command; false when it is not one. Throws RuntimeError.
  bool run(const Command& c);

  // Around every command: an undoable action's state is taken before it, and after it a
  // change becomes an undo step; after every command the hidden curves are applied again.
  void before_command(const Command& c);
  void after_command();

  const std::set<int>& hidden_curves() const { return hidden_; }
  const analysis::History& history() const { return history_; }
  const TuningTools& tuning() const { return tuning_; }

 private:
  std::optional<analysis::PlotState> capture();
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
  analysis::History history_;
  std::optional<analysis::PlotState> before_;
  std::set<int> hidden_;
};

}  // namespace quorin
