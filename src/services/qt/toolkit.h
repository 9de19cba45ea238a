// The Qt toolkit behind the graphics model: real windows that follow the model after every
// command and at drawnow, user edits written back into the model before a control's command
// runs, and the event loop that serves the windows until the last one is closed.
#pragma once

#include <QPointer>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "services/gfx/model.h"
#include "services/settings.h"

class QWidget;

namespace quorin::qtk {

class WindowView;

// Creates the widget application when there is none; without DISPLAY or WAYLAND_DISPLAY (and
// no platform chosen) it runs offscreen, so headless runs can still render windows.
void ensure_application();

// Whether a display can be opened: a platform is chosen or DISPLAY/WAYLAND_DISPLAY is set.
bool display_available();

class Toolkit {
 public:
  // `run` is the program's command boundary: it runs a control's command text and reports
  // its errors itself (it must not throw).
  using Runner = std::function<void(const std::string& command_text)>;
  // What closing a window from the window manager does; it must not throw. Without one the
  // window is closed in the model.
  using CloseHandler = std::function<void(int window)>;

  // Creates the application if needed and takes over the model's drawnow and pause hooks.
  Toolkit(gfx::Model& model, Runner run, CloseHandler on_close = {});
  ~Toolkit();
  Toolkit(const Toolkit&) = delete;
  Toolkit& operator=(const Toolkit&) = delete;

  // Brings the windows in step with the model: creates missing windows and their axes and
  // controls, updates properties, removes what the model deleted, stacks the windows in the
  // model's order. Every window is compared with the model each time (program code writes
  // typed members directly, so the model's revision alone cannot tell what changed); only
  // what differs is touched, which keeps a call after every command cheap.
  void sync();

  // Raises the windows in the order last taken from the model (only those in front of window
  // `above` when given) and gives the front one the keyboard; a question being asked stays in
  // front of them. For after a question, which the window manager may have stacked the
  // windows around.
  void raise_in_order(int above = 0);

  // Serves window events until the last window is closed; returns the loop's exit code.
  int exec();

  // The widget showing an object (a window's client area for a window handle); nullptr
  // when none is shown.
  QWidget* widget(gfx::Handle h);

  // Keeps each window's place in `settings`: a window opening takes its kept place, and the
  // places of the shown windows are kept before every command, before a window is closed
  // from the window manager and when the toolkit ends. `settings` must outlive the toolkit.
  void keep_window_places(Settings& settings);

  // Runs `hook` after every use of a control, menu item or line (whether or not it has a
  // command) and after every close from the window manager, once the command has ended.
  void after_every_use(std::function<void()> hook) { after_use_ = std::move(hook); }

 private:
  void remember_places();
  void control_used(gfx::Handle control);
  void close_requested(int number);
  void close_window(int number);
  void after_command();
  void pause(double seconds);
  void drawnow();

  gfx::Model& model_;
  Runner run_;
  CloseHandler on_close_;
  std::function<void()> after_use_;
  std::map<int, QPointer<WindowView>> views_;
  std::vector<int> stacked_;
  std::vector<int> pending_closes_;
  Settings* places_ = nullptr;
  bool running_command_ = false;
  bool syncing_ = false;
  bool in_exec_ = false;
};

}  // namespace quorin::qtk
