#include "services/qt/toolkit.h"

#include <xcb/xcb.h>
#include <QApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QStyleFactory>
#include <QTimer>
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>

#include "services/gfx/window_places.h"
#include "services/qt/look.h"
#include "services/qt/window_view.h"
#include "services/runtime_error.h"

namespace quorin::qtk {

namespace {

bool env_set(const char* name) {
  const char* v = std::getenv(name);
  return v && *v;
}

bool blank(const std::string& s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return c == ' ' || c == '\t' || c == '\n'; });
}

// Marks a command as running for as long as it is in scope: a second one waits.
class CommandRunning {
 public:
  explicit CommandRunning(bool& flag) : flag_(flag) { flag_ = true; }
  ~CommandRunning() { flag_ = false; }
  CommandRunning(const CommandRunning&) = delete;
  CommandRunning& operator=(const CommandRunning&) = delete;

 private:
  bool& flag_;
};

// Sends what is queued for an X display now (elsewhere nothing), so a window just shown is
// mapped while the program goes on making its contents.
void flush_display() {
  auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
  if (!app) return;
  if (auto* x11 = app->nativeInterface<QNativeInterface::QX11Application>())
    if (xcb_connection_t* c = x11->connection()) xcb_flush(c);
}

}  // namespace

bool display_available() {
  if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return true;
  return env_set("QT_QPA_PLATFORM") || env_set("DISPLAY") || env_set("WAYLAND_DISPLAY");
}

void ensure_application() {
  // Kept to the end of the process and never destroyed: at exit the platform plugin's own
  // statics may already be gone, and tearing the application down after them crashes.
  if (QCoreApplication* existing = QCoreApplication::instance()) {
    if (!qobject_cast<QApplication*>(existing))
      throw RuntimeError("Windows need a widget application, but another kind is running.");
    return;
  }
  if (!display_available()) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "quorin";
  static char* argv[] = {name, nullptr};
  new QApplication(argc, argv);  // reached through QCoreApplication::instance()
  // One look on every machine, so windows and snapshots match.
  QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
}

Toolkit::Toolkit(gfx::Model& model, Runner run, CloseHandler on_close)
    : model_(model), run_(std::move(run)), on_close_(std::move(on_close)) {
  ensure_application();
  const QSize area = screen_area(nullptr);
  model_.screen = {0, 0, static_cast<double>(area.width()), static_cast<double>(area.height())};
  model_.on_drawnow = [this] { drawnow(); };
  model_.on_pause = [this](double s) { pause(s); };
}

Toolkit::~Toolkit() {
  remember_places();
  model_.on_drawnow = nullptr;
  model_.on_pause = nullptr;
  for (auto& [n, v] : views_) {
    if (!v) continue;
    v->detach();
    delete v.data();
  }
  // Views of windows closed earlier wait for the event loop to delete them; nothing of ours
  // is on the stack any more, so they go now.
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QWidget* Toolkit::widget(gfx::Handle h) {
  gfx::Object* o = model_.find(h);
  if (!o) return nullptr;
  if (auto* w = dynamic_cast<gfx::Window*>(o)) {
    auto i = views_.find(w->number);
    return i == views_.end() ? nullptr : i->second.data();
  }
  const int number = model_.window_of(h).number;
  auto i = views_.find(number);
  if (i == views_.end() || !i->second) return nullptr;
  return i->second->widget_of(h);
}

void Toolkit::sync() {
  if (syncing_) return;
  syncing_ = true;
  const std::vector<int> numbers = model_.window_numbers();

  for (auto i = views_.begin(); i != views_.end();) {
    if (!i->second || !model_.window(i->first)) {
      if (WindowView* v = i->second) {
        v->detach();
        v->hide();
        v->deleteLater();  // it may be the sender of the signal being served
      }
      i = views_.erase(i);
    } else {
      ++i;
    }
  }

  for (int n : numbers) {
    QPointer<WindowView>& v = views_[n];
    if (!v) {
      WindowView::Hooks hooks;
      hooks.control_used = [this](gfx::Handle h) { control_used(h); };
      hooks.close_requested = [this](int number) { close_requested(number); };
      // A window manager puts each window it takes in on top, which may come after the
      // windows were stacked here: they are stacked again once it has.
      hooks.first_exposed = [this](int number) {
        if (!syncing_) raise_in_order(number);
      };
      if (gfx::Window* w = model_.window(n); w && places_) {
        const QSize area = screen_area(nullptr);
        gfx::restore_place(*w, *places_, from_qrect(w->units, QRect(QPoint(0, 0), area), area));
      }
      v = new WindowView(model_, n, std::move(hooks), true);
      // A new window goes up before its axes and controls are made, so the display maps it
      // while they are made. Nothing is painted before the event loop runs again, so the
      // first picture it shows is already whole.
      if (const gfx::Window* w = model_.window(n); w && w->visible) {
        v->reconcile_frame();
        v->setVisible(true);
        flush_display();
      }
    }
    v->reconcile();
    const gfx::Window* w = model_.window(n);
    if (w && v->isHidden() == w->visible) v->setVisible(w->visible);
  }

  // The offscreen platform has no stacking to change.
  if (model_.stacking() != stacked_ &&
      QGuiApplication::platformName() != QStringLiteral("offscreen")) {
    stacked_ = model_.stacking();
    raise_in_order();
  }
  syncing_ = false;

  if (in_exec_ && numbers.empty()) QCoreApplication::quit();
}

void Toolkit::raise_in_order(int above) {
  auto from = stacked_.begin();
  if (above != 0) {
    // The window itself too: a window manager may put a new window under the one holding the
    // keyboard, and a new window in front (a second warning) has nothing above it to raise.
    from = std::find(stacked_.begin(), stacked_.end(), above);
    if (from == stacked_.end() || ++from == stacked_.end()) return;
  }
  for (auto n = from; n != stacked_.end(); ++n) {
    auto i = views_.find(*n);
    if (i != views_.end() && i->second) i->second->raise();
  }
  // A question being asked stays in front, and keeps the keyboard.
  if (QWidget* modal = QApplication::activeModalWidget()) {
    modal->raise();
    return;
  }
  if (!stacked_.empty()) {
    auto i = views_.find(stacked_.back());
    if (i != views_.end() && i->second && i->second->isVisible()) i->second->activateWindow();
  }
}

void Toolkit::control_used(gfx::Handle h) {
  // The user's edit is already in the model. While a command runs (or the windows are
  // being brought in step) no second command starts.
  if (running_command_ || syncing_) return;
  // A control's command, a menu item's, or the ButtonDownFcn of a clicked line.
  gfx::Object* o = model_.find(h);
  std::string command;
  if (auto* c = dynamic_cast<gfx::Control*>(o)) {
    command = c->callback;
  } else if (auto* item = dynamic_cast<gfx::Menu*>(o)) {
    command = item->callback;
  } else if (o && o->kind() == gfx::Kind::Line) {
    auto it = o->extra.find("buttondownfcn");
    if (it == o->extra.end() || !it->second.is_text()) return;
    command = it->second.str();
  } else {
    return;
  }
  const int number = model_.window_of(h).number;
  model_.figure(number);  // the control's window becomes the current window
  remember_places();
  if (!blank(command) && run_) {
    CommandRunning busy(running_command_);
    run_(command);
  }
  after_command();
}

void Toolkit::after_command() {
  // Windows the user closed while the command ran are closed now.
  std::vector<int> closes;
  closes.swap(pending_closes_);
  for (int n : closes) close_window(n);
  if (after_use_) after_use_();
  sync();
}

void Toolkit::close_window(int number) {
  if (!model_.window(number)) return;
  remember_places();
  if (on_close_) {
    CommandRunning busy(running_command_);
    on_close_(number);
  } else {
    model_.close(number);
  }
}

void Toolkit::close_requested(int number) {
  if (running_command_) {
    pending_closes_.push_back(number);
    return;
  }
  close_window(number);
  after_command();
}

void Toolkit::keep_window_places(Settings& settings) {
  places_ = &settings;
}

void Toolkit::remember_places() {
  if (!places_) return;
  for (auto& [n, v] : views_) {
    const gfx::Window* w = model_.window(n);
    if (v && w && v->isVisible()) gfx::remember_place(*w, *places_);
  }
}

void Toolkit::drawnow() {
  sync();
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void Toolkit::pause(double seconds) {
  sync();
  if (!(seconds > 0)) {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    return;
  }
  const double ms = std::min(seconds * 1000.0, static_cast<double>(INT_MAX));
  QEventLoop loop;
  QTimer::singleShot(static_cast<int>(std::lround(ms)), &loop, &QEventLoop::quit);
  loop.exec(QEventLoop::ExcludeUserInputEvents);
}

int Toolkit::exec() {
  sync();
  if (model_.window_numbers().empty()) return 0;
  QApplication::setQuitOnLastWindowClosed(true);
  in_exec_ = true;
  const int rc = QApplication::exec();
  in_exec_ = false;
  return rc;
}

}  // namespace quorin::qtk
