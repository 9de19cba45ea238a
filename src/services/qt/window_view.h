// One model window as a Qt widget: its client area in the window's colour, its axes painted
// by our own painter and its controls as real widgets, kept in step with the model.
#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "services/gfx/model.h"

namespace quorin::qtk {

class AxesWidget;

// The screen area windows are placed on, in pixels; `origin` receives its top-left corner in
// Qt's screen coordinates. Offscreen it is a fixed 1920 by 1080.
QSize screen_area(QPoint* origin);

class WindowView : public QWidget {
  Q_OBJECT
 public:
  // What the view reports to its owner. `control_used` comes after the user's edit has been
  // written into the model, and also when the user picks a context-menu item (by the right
  // mouse button or its shortcut) or clicks a line that has a ButtonDownFcn;
  // `close_requested` when the user closes the window; `first_exposed` when a real window is
  // first on the screen, which with a window manager comes after it has taken the window in.
  struct Hooks {
    std::function<void(gfx::Handle control)> control_used;
    std::function<void(int window)> close_requested;
    std::function<void(int window)> first_exposed;
  };

  // `top_level`: a real window on the screen (title, screen position, cursor); otherwise a
  // widget of the window's size for snapshots and printing.
  WindowView(gfx::Model& m, int number, Hooks hooks, bool top_level);
  ~WindowView() override;

  int number() const { return number_; }

  // Brings the widgets in step with the model window: creates, updates and deletes them.
  void reconcile();
  // Only the window itself: title, pointer, colour, place and size.
  void reconcile_frame();
  // The window's client size in pixels as the model says.
  QSize model_client_size() const;
  // The smallest client area the model window allows, in pixels (1 by 1 when it sets none).
  QSize minimum_client_size(const gfx::Window& w) const;
  // Where the window's client area goes on the screen, in Qt's screen coordinates.
  QRect screen_rect() const;

  // The widget showing one of the window's axes or controls; nullptr when none.
  QWidget* widget_of(gfx::Handle h) const;

  // The view stops reporting to its owner (it is being closed).
  void detach() { detached_ = true; }

 protected:
  void resizeEvent(QResizeEvent* e) override;
  void moveEvent(QMoveEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  void wheelEvent(QWheelEvent* e) override;
  void showEvent(QShowEvent* e) override;
  // A control's tooltip is wrapped the first time it is about to show.
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  struct Item {
    QPointer<QWidget> widget;
    gfx::Kind kind = gfx::Kind::Control;
    gfx::Control::Style style = gfx::Control::Style::PushButton;
    std::string look;     // the applied font, colours and alignment, to skip unchanged ones
    QFont font;           // the control's own font, before fitting its text into the box
    std::string tooltip;  // the applied tooltip, before wrapping
  };

  gfx::Window* model_window() const;
  void update_control(Item& item, gfx::Control& c);
  QWidget* make_control(gfx::Control& c);
  void place_children();
  void apply_tab_order(const gfx::Window& w);
  void commit_pending_edits();
  void user_edit(gfx::Handle h, const std::function<void(gfx::Control&)>& write);
  void write_back_geometry();
  AxesWidget* zoom_target(QPointF at) const;
  // The window's context menu: shown at a right click, its items' shortcuts kept in step.
  gfx::Menu* context_menu() const;
  void show_context_menu(QPoint global_pos);
  void apply_shortcuts();
  // Runs the command of the clickable line under `at`; false when there is none.
  bool click_line(QPointF at);
  void use_object(gfx::Handle h);

  gfx::Model& model_;
  int number_;
  Hooks hooks_;
  bool top_level_;
  bool detached_ = false;
  bool exposed_ = false;  // the real window has been on the screen
  bool applying_geometry_ = false;
  std::optional<std::pair<gfx::Units, gfx::Rect>> applied_position_;
  std::optional<bool> applied_resize_;
  QSize applied_minimum_;
  std::string applied_pointer_;
  std::map<double, Item> items_;              // by handle value
  std::vector<double> stacked_;               // handles in the order last stacked
  std::vector<QPointer<QWidget>> tab_chain_;  // the keyboard order last applied
  QPointer<AxesWidget> zooming_;
  std::vector<QPointer<QObject>> shortcuts_;
  std::string applied_shortcuts_;  // "key=handle;..." of the shortcuts last made
};

}  // namespace quorin::qtk
