// The set-up library as the menus and its window reach it: the library window, saving the
// main window's set-up, opening and plotting a stored one, comparisons, bringing set-ups in
// and out, and the choice between this computer's library file and a team server. The car,
// corner and event of the last save and the server's connection are kept between sessions.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "library/backend.h"
#include "library/library.h"

namespace quorin {

class Program;

inline constexpr std::string_view kLibraryServerKey = "library/server";

class LibraryTools {
 public:
  explicit LibraryTools(Program& program) : p_(program) {}
  ~LibraryTools();

  // The library in use, opened on first use: the team server when one is set, else
  // library.sqlite in the start folder. Throws RuntimeError.
  library::Backend& backend();
  std::filesystem::path library_file() const;

  // The library window: shown (searched again with what it shows).
  void show();
  // The window's Search, and every change of its car, event and sort.
  void search();
  // Asks the car, corner, event and notes and keeps the main window's set-up; returns its
  // id (nothing when cancelled).
  std::optional<std::int64_t> save_from_main();
  // The set-up numbered `number` (empty: the one chosen in the window) put in the main
  // window, and plotted.
  void open(const std::string& number = {});
  void plot(const std::string& number = {});
  // Asks which set-ups to compare and against what, and shows them side by side.
  void ask_compare();
  void ask_import();
  void ask_export();
  void ask_merge();
  void ask_server();
  // Uses the team server at `connection` from now on (empty: the library file), kept for
  // later sessions. Throws RuntimeError, keeping the library in use, when it cannot be opened.
  void use_server(const std::string& connection);

  // The set-up chosen in the library window; throws RuntimeError when none is.
  std::int64_t chosen() const;
  const std::vector<library::Setup>& found() const { return found_; }
  // The number of the set-up the last save kept (or found already kept); 0: none yet.
  std::int64_t last_saved() const { return last_saved_; }

 private:
  // Shows the library window again with `status`; the set-up `choose` (when found) becomes the
  // chosen one, else the one chosen before stays chosen.
  void refresh(const std::string& status, std::int64_t choose = 0);
  library::Setup stored(std::int64_t id);

  Program& p_;
  std::unique_ptr<library::Backend> backend_;
  std::vector<library::Setup> found_;
  std::vector<library::EventEntry> events_;
  std::vector<std::string> cars_;
  std::string status_;
  std::int64_t last_saved_ = 0;
};

// A set-up number as the user writes it; throws RuntimeError naming the text.
std::int64_t setup_number(const std::string& text);

// A library's place as the window's status names it: a path longer than 48 characters keeps
// its last two parts after an ellipsis; anything else is named whole.
std::string shown_place(const std::string& where);

}  // namespace quorin
