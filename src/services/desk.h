// The place the program runs in: the system's dialogs, printer, clipboard, picture writers,
// settings, message boxes and windows on the desktop, or their headless counterparts for the
// script driver. The program is put together the same way over either.
#pragma once

#include <functional>
#include <string>

#include "services/dialogs.h"
#include "services/gfx/model.h"
#include "services/outputs.h"
#include "services/progress.h"
#include "services/settings.h"

namespace quorin {

class Desk {
 public:
  // Runs a control's command text at the program's command boundary (must not throw).
  using Runner = std::function<void(const std::string& command_text)>;
  // What closing window `number` from the window manager does (must not throw).
  using CloseHandler = std::function<void(int number)>;

  virtual ~Desk() = default;

  // Shows the windows of `model` from now on, running their commands through `run`. Called
  // once per started program, before anything is drawn; a later call replaces the earlier.
  virtual void attach(gfx::Model& model, Runner run, CloseHandler close) = 0;
  // Stops showing the model given to `attach` (before that model goes).
  virtual void detach() {}

  virtual Dialogs& dialogs() = 0;
  virtual Printer& printer() = 0;
  virtual Clipboard& clipboard() = 0;
  virtual PictureWriter& pictures() = 0;
  virtual Settings& settings() = 0;
  // Where long work shows how far it has come (headless: nowhere).
  virtual Progress& progress() { return no_progress_; }

  // A run-time error, shown to the user.
  virtual void show_error(const std::string& message) = 0;
  // Something the user must know but need not answer (shown once in a window).
  virtual void tell(const std::string& title, const std::string& message) = 0;
  // A yes/no question; Yes is the default answer.
  virtual bool ask(const std::string& title, const std::string& question) = 0;

  // Brings the windows in step with the model.
  virtual void sync() {}
  // Restacks the windows in the model's order (after a question).
  virtual void raise_in_order() {}
  // Runs `hook` after every use of a control, menu item or window close.
  virtual void after_every_use(std::function<void()> hook) { (void)hook; }
  // Serves the windows until the program ends; returns the exit status.
  virtual int exec() { return 0; }
  // Ends `exec`: every window goes, whatever is open.
  virtual void quit() {}

 private:
  NoProgress no_progress_;
};

}  // namespace quorin
