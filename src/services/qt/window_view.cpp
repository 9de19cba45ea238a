#include "services/qt/window_view.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShortcut>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QToolTip>
#include <QWheelEvent>
#include <QWindow>
#include <cmath>
#include <set>
#include <sstream>

#include "services/qt/axes_painter.h"
#include "services/qt/look.h"

namespace quorin::qtk {

namespace {

using Style = gfx::Control::Style;

Qt::Alignment horizontal(const std::string& a) {
  if (a == "left") return Qt::AlignLeft;
  if (a == "right") return Qt::AlignRight;
  return Qt::AlignHCenter;
}

// Pixels between a push button's edge and its label.
constexpr int kButtonTextInset = 3;
// Set on a control once its tooltip text has been wrapped to the tooltip width.
constexpr char kTooltipWrapped[] = "quorinTooltipWrapped";

// A push button whose label may sit at the left or right instead of the centre, and which
// shows keyboard focus as a ring in its label colour (the style's own focus frame is hard to
// see on coloured buttons).
class AlignedButton : public QPushButton {
 public:
  using QPushButton::QPushButton;
  Qt::Alignment align = Qt::AlignHCenter;

 protected:
  // Enter presses a focused button as Space does.
  void keyPressEvent(QKeyEvent* e) override {
    if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && !e->isAutoRepeat() &&
        (e->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
      e->accept();
      click();
      return;
    }
    QPushButton::keyPressEvent(e);
  }
  void paintEvent(QPaintEvent*) override {
    QStylePainter p(this);
    QStyleOptionButton opt;
    initStyleOption(&opt);
    const QString label = opt.text;
    opt.text.clear();
    opt.state &= ~QStyle::State_HasFocus;
    p.drawControl(QStyle::CE_PushButton, opt);
    const QRect r = rect().adjusted(kButtonTextInset, 0, -kButtonTextInset, 0);
    p.drawItemText(r, static_cast<int>(align | Qt::AlignVCenter), palette(), isEnabled(), label,
                   QPalette::ButtonText);
    if (hasFocus()) {
      p.setPen(QPen(palette().color(QPalette::ButtonText), 1));
      p.setBrush(Qt::NoBrush);
      p.drawRect(rect().adjusted(2, 2, -3, -3));
    }
  }
};

// A popup list that the mouse wheel changes only while it has the keyboard focus; otherwise
// the wheel passes on to the window, so scrolling over the window changes no selection.
class ListBox : public QComboBox {
 public:
  using QComboBox::QComboBox;

 protected:
  void wheelEvent(QWheelEvent* e) override {
    if (hasFocus())
      QComboBox::wheelEvent(e);
    else
      e->ignore();
  }
};

// How a control takes the keyboard focus when it is usable: buttons and boxes through Tab
// only, so a click on them leaves the focus where the user was typing; lists and edit boxes
// also by a click; a display-only edit box only by a click (to select its text).
Qt::FocusPolicy usual_focus(const gfx::Control& c) {
  switch (c.style) {
    case Style::PushButton:
    case Style::CheckBox:
    case Style::Radio:
      return Qt::TabFocus;
    case Style::Popup:
      return Qt::StrongFocus;
    case Style::Edit:
      return c.enable == "inactive" ? Qt::ClickFocus : Qt::StrongFocus;
    case Style::Text:
    case Style::Frame:
      break;
  }
  return Qt::NoFocus;
}

// A frame: a plain rectangle in the background colour with a one-pixel border in the
// foreground colour.
class FrameWidget : public QWidget {
 public:
  using QWidget::QWidget;
  QColor fill, border;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.fillRect(rect(), fill);
    p.setPen(border);
    p.setBrush(Qt::NoBrush);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
  }
};

QColor blend(const QColor& a, const QColor& b) {
  return QColor((a.red() + b.red()) / 2, (a.green() + b.green()) / 2, (a.blue() + b.blue()) / 2);
}

void set_role(QPalette& pal, QPalette::ColorRole role, const QColor& c) {
  pal.setColor(QPalette::Active, role, c);
  pal.setColor(QPalette::Inactive, role, c);
}

}  // namespace

QSize screen_area(QPoint* origin) {
  const QString platform = QGuiApplication::platformName();
  QScreen* s = QGuiApplication::primaryScreen();
  if (platform == "offscreen" || platform == "minimal" || !s) {
    if (origin) *origin = QPoint(0, 0);
    return QSize(1920, 1080);
  }
  const QRect avail = s->availableGeometry();
  if (origin) *origin = avail.topLeft();
  return avail.size();
}

WindowView::WindowView(gfx::Model& m, int number, Hooks hooks, bool top_level)
    : QWidget(nullptr),
      model_(m),
      number_(number),
      hooks_(std::move(hooks)),
      top_level_(top_level) {
  setAutoFillBackground(true);
  setMouseTracking(false);
  // A right click reaches mousePressEvent, which shows the window's own menu.
  setContextMenuPolicy(Qt::PreventContextMenu);
}

WindowView::~WindowView() {
  detached_ = true;
  // The base class closes the window and takes the focus from an edit box, which would finish
  // its edit and call back into this object after its own part is gone: the children's
  // signals to it are cut first.
  for (QObject* child : children()) child->disconnect(this);
  if (QWindow* handle = windowHandle()) handle->removeEventFilter(this);
}

gfx::Window* WindowView::model_window() const {
  return model_.window(number_);
}

QRect WindowView::screen_rect() const {
  gfx::Window* w = model_window();
  if (!w) return geometry();
  QPoint origin;
  const QSize area = screen_area(&origin);
  QRect r = to_qrect(w->units, w->position, area).translated(origin);
  // A window taller than the room above its lower edge (a 768-line screen) would put its title
  // bar out of reach above the screen, and the window could never be moved: it comes down
  // until its title bar shows.
  constexpr int kTitleBar = 32;
  if (top_level_ && r.top() < origin.y() + kTitleBar) r.moveTop(origin.y() + kTitleBar);
  return r;
}

QSize WindowView::minimum_client_size(const gfx::Window& w) const {
  if (!(w.min_width > 0) && !(w.min_height > 0)) return QSize(1, 1);
  const QSize area = screen_area(nullptr);
  const QSize s = to_qrect(w.units, {0, 0, w.min_width, w.min_height}, area).size();
  return QSize(std::max(1, s.width()), std::max(1, s.height()));
}

QSize WindowView::model_client_size() const {
  const QSize s = screen_rect().size();
  return QSize(std::max(1, s.width()), std::max(1, s.height()));
}

QWidget* WindowView::widget_of(gfx::Handle h) const {
  auto i = items_.find(h.value);
  return i == items_.end() ? nullptr : i->second.widget.data();
}

void WindowView::reconcile_frame() {
  gfx::Window* w = model_window();
  if (!w) return;

  if (top_level_) {
    QString title;
    if (!w->number_title)
      title = QString::fromStdString(w->name);
    else if (w->name.empty())
      title = QStringLiteral("Figure %1").arg(w->number);
    else
      title = QStringLiteral("Figure %1: %2").arg(w->number).arg(QString::fromStdString(w->name));
    if (windowTitle() != title) setWindowTitle(title);
    if (w->pointer != applied_pointer_) {
      if (w->pointer == "watch")
        setCursor(Qt::WaitCursor);
      else
        unsetCursor();
      applied_pointer_ = w->pointer;
    }
  }

  QPalette pal = palette();
  const QColor bg = to_qcolor(w->color);
  if (pal.color(QPalette::Window) != bg) {
    pal.setColor(QPalette::Window, bg);
    setPalette(pal);
  }

  const auto pos = std::make_pair(w->units, w->position);
  const QSize least = minimum_client_size(*w);
  if (!applied_position_ || applied_position_->first != pos.first ||
      !(applied_position_->second == pos.second) || applied_resize_ != w->resize ||
      applied_minimum_ != least) {
    applying_geometry_ = true;
    const QRect r = screen_rect();
    QSize size(std::max(1, r.width()), std::max(1, r.height()));
    if (!w->resize) {
      setFixedSize(size);
    } else {
      // Never smaller than what shows every part of the window.
      setMinimumSize(least);
      setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
      size = size.expandedTo(least);
    }
    applied_minimum_ = least;
    if (top_level_)
      setGeometry(QRect(r.topLeft(), size));
    else
      resize(size);
    applied_position_ = pos;
    applied_resize_ = w->resize;
    applying_geometry_ = false;
  }
}

void WindowView::reconcile() {
  gfx::Window* w = model_window();
  if (!w) return;
  reconcile_frame();

  // Children: axes lie under the controls; each group keeps its creation order.
  std::vector<double> axes_order, control_order;
  std::set<double> alive;
  for (gfx::Handle h : w->children()) {
    gfx::Object* o = model_.find(h);
    if (!o) continue;
    if (o->kind() == gfx::Kind::Axes) {
      auto& it = items_[h.value];
      if (!it.widget || it.kind != gfx::Kind::Axes) {
        if (it.widget) it.widget->deleteLater();
        it = Item{};
        it.kind = gfx::Kind::Axes;
        it.widget = new AxesWidget(model_, h, this);
        it.widget->show();
      }
      axes_order.push_back(h.value);
      alive.insert(h.value);
    } else if (auto* c = dynamic_cast<gfx::Control*>(o)) {
      auto& it = items_[h.value];
      if (!it.widget || it.kind != gfx::Kind::Control || it.style != c->style) {
        if (it.widget) it.widget->deleteLater();
        it = Item{};
        it.kind = gfx::Kind::Control;
        it.style = c->style;
        it.widget = make_control(*c);
      }
      control_order.push_back(h.value);
      alive.insert(h.value);
    }
  }
  for (auto i = items_.begin(); i != items_.end();) {
    if (!alive.count(i->first)) {
      if (i->second.widget) {
        i->second.widget->hide();
        i->second.widget->deleteLater();
      }
      i = items_.erase(i);
    } else {
      ++i;
    }
  }
  for (double v : axes_order)
    if (auto* a = qobject_cast<AxesWidget*>(items_[v].widget.data())) a->refresh();
  std::vector<std::pair<QWidget*, bool>> shown;  // each control's widget, and whether it shows
  for (double v : control_order) {
    auto* c = dynamic_cast<gfx::Control*>(model_.find(gfx::Handle{v}));
    if (!c) continue;
    update_control(items_[v], *c);
    if (QWidget* cw = items_[v].widget) shown.emplace_back(cw, c->visible);
  }
  // Shown only once placed: a control shown before it has its box would first be sized to
  // its text, which measures the text for nothing.
  place_children();
  for (auto [cw, visible] : shown)
    if (cw->isHidden() == visible || !cw->testAttribute(Qt::WA_WState_ExplicitShowHide))
      cw->setVisible(visible);
  apply_tab_order(*w);
  apply_shortcuts();

  std::vector<double> order = axes_order;
  order.insert(order.end(), control_order.begin(), control_order.end());
  if (order != stacked_) {
    for (double v : order)
      if (items_[v].widget) items_[v].widget->raise();
    stacked_ = order;
  }
}

void WindowView::apply_tab_order(const gfx::Window& w) {
  std::vector<QPointer<QWidget>> chain;
  for (gfx::Handle h : w.tab_order)
    if (QWidget* cw = widget_of(h)) chain.emplace_back(cw);
  if (chain == tab_chain_) return;
  for (std::size_t i = 1; i < chain.size(); ++i) QWidget::setTabOrder(chain[i - 1], chain[i]);
  tab_chain_ = std::move(chain);
}

QWidget* WindowView::make_control(gfx::Control& c) {
  const gfx::Handle h = c.handle();
  QWidget* w = nullptr;
  switch (c.style) {
    case Style::PushButton: {
      auto* b = new AlignedButton(this);
      connect(b, &QPushButton::clicked, this, [this, h] { user_edit(h, nullptr); });
      w = b;
      break;
    }
    case Style::Popup: {
      auto* cb = new ListBox(this);
      cb->setMaxVisibleItems(20);
      connect(cb, &QComboBox::activated, this, [this, h](int index) {
        user_edit(h, [index](gfx::Control& m) { m.value = index + 1; });
      });
      w = cb;
      break;
    }
    case Style::Edit: {
      auto* e = new QLineEdit(this);
      e->setFrame(true);
      connect(e, &QLineEdit::editingFinished, this, [this, h, e] {
        auto* m = dynamic_cast<gfx::Control*>(model_.find(h));
        if (!m || detached_) return;
        const std::string text = e->text().toStdString();
        e->setModified(false);
        if (m->string == text) return;
        user_edit(h, [text](gfx::Control& c) { c.string = text; });
      });
      w = e;
      break;
    }
    case Style::CheckBox:
    case Style::Radio: {
      QAbstractButton* b = nullptr;
      if (c.style == Style::Radio) {
        auto* r = new QRadioButton(this);
        r->setAutoExclusive(false);  // toggles like a check box; the actions keep the pair
        b = r;
      } else {
        b = new QCheckBox(this);
      }
      b->setAutoFillBackground(true);
      connect(b, &QAbstractButton::clicked, this, [this, h](bool on) {
        user_edit(h, [on](gfx::Control& m) { m.value = on ? 1 : 0; });
      });
      w = b;
      break;
    }
    case Style::Text: {
      auto* l = new QLabel(this);
      l->setTextFormat(Qt::PlainText);
      l->setAutoFillBackground(true);
      l->setMargin(0);
      l->setIndent(0);
      w = l;
      break;
    }
    case Style::Frame: {
      w = new FrameWidget(this);
      break;
    }
  }
  w->setAttribute(Qt::WA_MacShowFocusRect, false);
  w->setFocusPolicy(usual_focus(c));
  w->installEventFilter(this);
  return w;
}

void WindowView::update_control(Item& it, gfx::Control& c) {
  QWidget* w = it.widget;
  if (!w) return;
  const QColor bg = to_qcolor(c.background), fg = to_qcolor(c.foreground);

  std::ostringstream key;
  key << c.font_name << '|' << c.font_size << '|' << c.font_weight << '|' << c.font_angle << '|'
      << bg.name().toStdString() << '|' << fg.name().toStdString() << '|' << c.horizontal_alignment;
  if (key.str() != it.look) {
    it.look = key.str();
    it.font = make_font(c.font_name, c.font_size, c.font_weight, c.font_angle);
    w->setFont(it.font);
    QPalette pal = w->palette();
    const QColor dim = blend(bg, fg);
    switch (c.style) {
      case Style::PushButton:
        set_role(pal, QPalette::Button, bg);
        set_role(pal, QPalette::ButtonText, fg);
        set_role(pal, QPalette::Window, bg);
        pal.setColor(QPalette::Disabled, QPalette::Button, bg);
        pal.setColor(QPalette::Disabled, QPalette::ButtonText, dim);
        static_cast<AlignedButton*>(w)->align = horizontal(c.horizontal_alignment);
        break;
      case Style::Popup:
      case Style::Edit:
        set_role(pal, QPalette::Base, bg);
        set_role(pal, QPalette::Button, bg);
        set_role(pal, QPalette::Text, fg);
        set_role(pal, QPalette::ButtonText, fg);
        pal.setColor(QPalette::Disabled, QPalette::Base, bg);
        pal.setColor(QPalette::Disabled, QPalette::Text, dim);
        if (auto* e = qobject_cast<QLineEdit*>(w))
          e->setAlignment(horizontal(c.horizontal_alignment) | Qt::AlignVCenter);
        break;
      case Style::CheckBox:
      case Style::Radio:
      case Style::Text:
        set_role(pal, QPalette::Window, bg);
        set_role(pal, QPalette::WindowText, fg);
        pal.setColor(QPalette::Disabled, QPalette::Window, bg);
        pal.setColor(QPalette::Disabled, QPalette::WindowText, dim);
        if (auto* l = qobject_cast<QLabel*>(w))
          l->setAlignment(horizontal(c.horizontal_alignment) | Qt::AlignTop);
        break;
      case Style::Frame: {
        auto* f = static_cast<FrameWidget*>(w);
        f->fill = bg;
        f->border = fg;
        f->update();
        break;
      }
    }
    w->setPalette(pal);
  }

  if (c.tooltip != it.tooltip) {
    it.tooltip = c.tooltip;
    // Measuring the words costs more than making the control; it waits until the tooltip
    // is wanted (eventFilter).
    w->setToolTip(QString::fromStdString(c.tooltip));
    w->setProperty(kTooltipWrapped, false);
  }
  const bool enabled = c.enable != "off";
  if (w->isEnabled() != enabled) w->setEnabled(enabled);
  // "inactive": looks usable but takes no clicks (an edit box still shows its text read-only).
  const bool inert = c.enable == "inactive" && c.style != Style::Edit;
  if (w->testAttribute(Qt::WA_TransparentForMouseEvents) != inert)
    w->setAttribute(Qt::WA_TransparentForMouseEvents, inert);
  const Qt::FocusPolicy focus = inert ? Qt::NoFocus : usual_focus(c);
  if (w->focusPolicy() != focus) w->setFocusPolicy(focus);
  const QString text = QString::fromStdString(c.string);

  switch (c.style) {
    case Style::PushButton: {
      auto* b = static_cast<QPushButton*>(w);
      if (b->text() != text) b->setText(text);
      b->update();
      break;
    }
    case Style::Popup: {
      auto* cb = static_cast<QComboBox*>(w);
      bool same = cb->count() == static_cast<int>(c.items.size());
      for (int i = 0; same && i < cb->count(); ++i)
        same = cb->itemText(i).toStdString() == c.items[static_cast<std::size_t>(i)];
      if (!same) {
        cb->clear();
        for (const std::string& s : c.items) cb->addItem(QString::fromStdString(s));
      }
      int index = -1;
      if (std::isfinite(c.value) && c.value >= 1 && c.value <= cb->count() &&
          c.value == std::floor(c.value))
        index = static_cast<int>(c.value) - 1;
      if (cb->currentIndex() != index) cb->setCurrentIndex(index);
      break;
    }
    case Style::Edit: {
      auto* e = static_cast<QLineEdit*>(w);
      const bool read_only = c.enable == "inactive";
      if (e->isReadOnly() != read_only) e->setReadOnly(read_only);
      // Text the user is typing is kept until the edit is finished.
      if (e->text() != text && !(e->hasFocus() && e->isModified())) {
        e->setText(text);
        e->setCursorPosition(0);
      }
      break;
    }
    case Style::CheckBox:
    case Style::Radio: {
      auto* b = static_cast<QAbstractButton*>(w);
      b->setCheckable(true);
      const bool on = c.value == 1;
      if (b->isChecked() != on) b->setChecked(on);
      break;
    }
    case Style::Text: {
      auto* l = static_cast<QLabel*>(w);
      if (l->text() != text) l->setText(text);
      break;
    }
    case Style::Frame:
      break;
  }
}

void WindowView::showEvent(QShowEvent* e) {
  QWidget::showEvent(e);
  // The window's first expose tells when it is really on the screen.
  if (top_level_ && !exposed_ && windowHandle()) windowHandle()->installEventFilter(this);
}

bool WindowView::eventFilter(QObject* watched, QEvent* e) {
  if (e->type() == QEvent::Expose && watched == windowHandle() && !exposed_ &&
      windowHandle()->isExposed()) {
    exposed_ = true;
    windowHandle()->removeEventFilter(this);
    if (!detached_ && hooks_.first_exposed) hooks_.first_exposed(number_);
  }
  if (e->type() == QEvent::ToolTip) {
    auto* w = qobject_cast<QWidget*>(watched);
    if (w && !w->property(kTooltipWrapped).toBool()) {
      w->setToolTip(wrap_tooltip(w->toolTip(), QToolTip::font()));
      w->setProperty(kTooltipWrapped, true);
    }
  }
  return QWidget::eventFilter(watched, e);
}

void WindowView::place_children() {
  const QSize area = size();
  for (auto& [v, it] : items_) {
    if (!it.widget) continue;
    if (it.kind == gfx::Kind::Axes) {
      it.widget->setGeometry(QRect(QPoint(0, 0), area));
      continue;
    }
    auto* c = dynamic_cast<gfx::Control*>(model_.find(gfx::Handle{v}));
    if (!c) continue;
    QRect r = to_qrect(c->units, c->position, area);
    // Every text shows whole: a label wraps when its box has room for the lines, otherwise
    // it keeps one line in a slightly smaller font and may run past its box; a button's or
    // check box's label takes a slightly smaller font.
    QFont font = it.font;
    if (auto* l = qobject_cast<QLabel*>(it.widget.data())) {
      const TextFit fit = fit_text(l->text(), it.font, r, l->alignment());
      if (l->wordWrap() != fit.wrap) l->setWordWrap(fit.wrap);
      font = fit.font;
      r = fit.rect;
    } else if (auto* b = qobject_cast<QPushButton*>(it.widget.data())) {
      font = fit_one_line(b->text(), it.font, r.width() - 2 * kButtonTextInset);
    } else if (auto* b = qobject_cast<QAbstractButton*>(it.widget.data());
               b && !b->text().isEmpty()) {
      const QStyle* st = b->style();
      const int indicator = st->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, b) +
                            st->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, b);
      font = fit_one_line(b->text(), it.font, r.width() - indicator);
    }
    if (it.widget->font() != font) it.widget->setFont(font);
    if (it.widget->geometry() != r) it.widget->setGeometry(r);
  }
}

void WindowView::commit_pending_edits() {
  for (auto& [v, it] : items_) {
    auto* e = qobject_cast<QLineEdit*>(it.widget.data());
    if (!e || e->isReadOnly() || !e->isModified()) continue;
    auto* c = dynamic_cast<gfx::Control*>(model_.find(gfx::Handle{v}));
    if (!c) continue;
    e->setModified(false);
    const std::string text = e->text().toStdString();
    if (c->string == text) continue;
    c->string = text;
    model_.touch();
  }
}

void WindowView::user_edit(gfx::Handle h, const std::function<void(gfx::Control&)>& write) {
  if (detached_) return;
  // Whatever the user typed into the window's edit boxes and not yet confirmed is what the
  // window shows, so every command sees it.
  commit_pending_edits();
  auto* c = dynamic_cast<gfx::Control*>(model_.find(h));
  if (!c) return;
  if (write) {
    write(*c);
    model_.touch();
  }
  if (hooks_.control_used) hooks_.control_used(h);
}

void WindowView::write_back_geometry() {
  if (!top_level_ || applying_geometry_ || detached_ || !isVisible()) return;
  gfx::Window* w = model_window();
  if (!w) return;
  QPoint origin;
  const QSize area = screen_area(&origin);
  const QRect now = geometry().translated(-origin);
  if (now == to_qrect(w->units, w->position, area)) return;
  w->position = from_qrect(w->units, now, area);
  applied_position_ = std::make_pair(w->units, w->position);
}

void WindowView::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  write_back_geometry();
  // The window lays its parts out for the new size before they are placed.
  if (gfx::Window* w = model_window(); w && w->layout && !detached_) {
    w->layout(*w);
    model_.touch();
  }
  place_children();
}

void WindowView::moveEvent(QMoveEvent* e) {
  QWidget::moveEvent(e);
  write_back_geometry();
}

void WindowView::closeEvent(QCloseEvent* e) {
  // The owner closes the model window; the widget goes when the model says so.
  e->ignore();
  if (!detached_ && hooks_.close_requested) hooks_.close_requested(number_);
}

AxesWidget* WindowView::zoom_target(QPointF at) const {
  gfx::Window* w = model_window();
  if (!w || !w->zoom) return nullptr;
  for (auto i = stacked_.rbegin(); i != stacked_.rend(); ++i) {
    auto f = items_.find(*i);
    if (f == items_.end()) continue;
    auto* aw = qobject_cast<AxesWidget*>(f->second.widget.data());
    if (!aw) continue;
    auto* a = dynamic_cast<gfx::Axes*>(model_.find(gfx::Handle{*i}));
    if (a && a->visible && a->hit_test && aw->box().contains(at)) return aw;
  }
  return nullptr;
}

gfx::Menu* WindowView::context_menu() const {
  gfx::Window* w = model_window();
  if (!w) return nullptr;
  for (auto* m : model_.children_of<gfx::Menu>(*w))
    if (m->kind() == gfx::Kind::ContextMenu && m->visible) return m;
  return nullptr;
}

void WindowView::show_context_menu(QPoint global_pos) {
  gfx::Menu* cm = context_menu();
  if (!cm || detached_) return;
  auto* menu = new QMenu(this);
  menu->setAttribute(Qt::WA_DeleteOnClose);
  for (gfx::Menu* item : model_.children_of<gfx::Menu>(*cm)) {
    if (!item->visible) continue;
    if (item->separator && !menu->isEmpty()) menu->addSeparator();
    QAction* a = menu->addAction(QString::fromStdString(item->label));
    const std::string accelerator = item->accelerator;
    if (!accelerator.empty()) a->setShortcut(QKeySequence(QString::fromStdString(accelerator)));
    const gfx::Handle h = item->handle();
    // Run once the menu has closed and its click is over: an item that serves window events
    // while it works (a redraw, a question) would otherwise have the menu deleted under the
    // click that chose it.
    connect(a, &QAction::triggered, this, [this, h] { use_object(h); }, Qt::QueuedConnection);
  }
  menu->popup(global_pos);
}

void WindowView::apply_shortcuts() {
  std::vector<std::pair<std::string, gfx::Handle>> wanted;
  std::string key;
  if (gfx::Menu* cm = context_menu()) {
    for (gfx::Menu* item : model_.children_of<gfx::Menu>(*cm)) {
      const std::string accelerator = item->accelerator;
      if (accelerator.empty() || !item->visible) continue;
      wanted.emplace_back(accelerator, item->handle());
      key += accelerator + "=" + std::to_string(item->handle().value) + ";";
    }
  }
  if (key == applied_shortcuts_) return;
  for (auto& s : shortcuts_) delete s.data();
  shortcuts_.clear();
  for (const auto& [accelerator, h] : wanted) {
    auto* s = new QShortcut(QKeySequence(QString::fromStdString(accelerator)), this);
    s->setContext(Qt::WindowShortcut);
    connect(s, &QShortcut::activated, this, [this, h = h] { use_object(h); });
    shortcuts_.emplace_back(s);
  }
  applied_shortcuts_ = key;
}

void WindowView::use_object(gfx::Handle h) {
  if (detached_) return;
  commit_pending_edits();
  if (model_.find(h) && hooks_.control_used) hooks_.control_used(h);
}

bool WindowView::click_line(QPointF at) {
  // Markers are small: a click counts within their drawn size and a few pixels more.
  constexpr double kSlack = 3;
  for (auto i = stacked_.rbegin(); i != stacked_.rend(); ++i) {
    auto f = items_.find(*i);
    if (f == items_.end()) continue;
    auto* aw = qobject_cast<AxesWidget*>(f->second.widget.data());
    auto* a = dynamic_cast<gfx::Axes*>(model_.find(gfx::Handle{*i}));
    if (!aw || !a) continue;
    const QRectF box = aw->box();
    const AxesLimits lim = aw->limits();
    const double dx = lim.x[1] - lim.x[0], dy = lim.y[1] - lim.y[0];
    if (!(dx > 0) || !(dy > 0)) continue;
    for (gfx::Line* l : model_.children_of<gfx::Line>(*a)) {
      auto cb = l->extra.find("buttondownfcn");
      if (cb == l->extra.end() || !cb->second.is_text() || cb->second.str().empty()) continue;
      const double reach = l->marker_size * 96.0 / 72.0 / 2 + kSlack;
      for (std::size_t k = 0; k < std::min(l->x.size(), l->y.size()); ++k) {
        const double fx = (l->x[k] - lim.x[0]) / dx;
        const double fy = (l->y[k] - lim.y[0]) / dy;
        const double py =
            a->ydir_reverse ? box.top() + fy * box.height() : box.bottom() - fy * box.height();
        const QPointF px(box.left() + fx * box.width(), py);
        if (std::abs(px.x() - at.x()) <= reach && std::abs(px.y() - at.y()) <= reach) {
          use_object(l->handle());
          return true;
        }
      }
    }
  }
  return false;
}

void WindowView::mousePressEvent(QMouseEvent* e) {
  if (e->button() == Qt::RightButton && context_menu()) {
    show_context_menu(e->globalPosition().toPoint());
    e->accept();
    return;
  }
  if (e->button() == Qt::LeftButton && click_line(e->position())) {
    e->accept();
    return;
  }
  if (e->button() == Qt::LeftButton) {
    if (AxesWidget* t = zoom_target(e->position())) {
      zooming_ = t;
      t->band_begin(e->position());
      return;
    }
  }
  QWidget::mousePressEvent(e);
}

void WindowView::mouseMoveEvent(QMouseEvent* e) {
  if (zooming_) zooming_->band_move(e->position());
}

void WindowView::mouseReleaseEvent(QMouseEvent* e) {
  if (zooming_ && e->button() == Qt::LeftButton) {
    zooming_->band_end(e->position());
    zooming_ = nullptr;
  }
}

void WindowView::mouseDoubleClickEvent(QMouseEvent* e) {
  if (AxesWidget* t = zoom_target(e->position())) {
    if (zooming_) zooming_->band_cancel();  // a double click drags nothing
    zooming_ = nullptr;
    t->reset_view();
  }
}

void WindowView::wheelEvent(QWheelEvent* e) {
  if (AxesWidget* t = zoom_target(e->position())) {
    t->wheel_zoom(e->position(), e->angleDelta().y() / 120.0);
    e->accept();
  }
}

}  // namespace quorin::qtk
