#include "services/qt/desktop.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QProgressDialog>
#include <limits>

#include "services/qt/output.h"

namespace quorin::qtk {

// PRINT on the desktop: the system's print dialog and printer.
class Desktop::WindowPrinter : public Printer {
 public:
  explicit WindowPrinter(gfx::Model& m) : model_(m) {}
  bool print_window(int number, bool show_dialog) override {
    return qtk::print_window(model_, number, show_dialog);
  }

 private:
  gfx::Model& model_;
};

// Long work on the desktop: once it has run for a second, a window shows how far it has come,
// with Cancel; the events it brings are served at every step so that Cancel can be clicked.
class Desktop::ProgressWindow : public Progress {
 public:
  void begin(const std::string& title) override {
    end();
    title_ = QString::fromStdString(title);
    clock_.start();
  }
  bool advance(std::size_t done, std::size_t total) override {
    if (!clock_.isValid()) return true;
    if (!dialog_ && clock_.elapsed() >= kShownAfterMs) {
      dialog_ =
          std::make_unique<QProgressDialog>(title_ + QStringLiteral("…"), QStringLiteral("Cancel"),
                                            0, 0, QApplication::activeWindow());
      dialog_->setWindowTitle(title_);
      dialog_->setWindowModality(Qt::ApplicationModal);
      dialog_->setMinimumDuration(0);
      dialog_->setAutoReset(false);
      dialog_->setAutoClose(false);
      dialog_->show();
    }
    if (!dialog_) return true;
    const int most = std::numeric_limits<int>::max();
    dialog_->setMaximum(total > std::size_t(most) ? most : static_cast<int>(total));
    dialog_->setValue(done > std::size_t(most) ? most : static_cast<int>(done));
    QCoreApplication::processEvents();
    return !dialog_->wasCanceled();
  }
  void end() override {
    dialog_.reset();
    clock_.invalidate();
  }

 private:
  static constexpr qint64 kShownAfterMs = 1000;
  QString title_;
  QElapsedTimer clock_;
  std::unique_ptr<QProgressDialog> dialog_;
};

Desktop::Desktop(std::ostream& warnings)
    : settings_(std::make_unique<QtSettings>(warnings)),
      progress_(std::make_unique<ProgressWindow>()) {
  ensure_application();
}

Desktop::Desktop(const std::filesystem::path& settings_file, std::ostream& warnings)
    : settings_(std::make_unique<QtSettings>(settings_file, warnings)),
      progress_(std::make_unique<ProgressWindow>()) {
  ensure_application();
}

Progress& Desktop::progress() {
  return *progress_;
}

Desktop::~Desktop() {
  progress_.reset();
  // The windows go before the settings their places are kept in.
  toolkit_.reset();
}

void Desktop::attach(gfx::Model& model, Runner run, CloseHandler close) {
  toolkit_.reset();
  toolkit_ = std::make_unique<Toolkit>(model, std::move(run), std::move(close));
  toolkit_->keep_window_places(*settings_);
  toolkit_->after_every_use([this] {
    if (after_use_) after_use_();
  });
  printer_ = std::make_unique<WindowPrinter>(model);
  pictures_ = std::make_unique<WindowPictureWriter>(model);
}

void Desktop::detach() {
  toolkit_.reset();
  printer_.reset();
  pictures_.reset();
}

Printer& Desktop::printer() {
  return *printer_;
}
PictureWriter& Desktop::pictures() {
  return *pictures_;
}

void Desktop::show_error(const std::string& message) {
  qtk::show_error(message);
}

void Desktop::tell(const std::string& title, const std::string& message) {
  QMessageBox::warning(QApplication::activeWindow(), QString::fromStdString(title),
                       QString::fromStdString(message));
}

bool Desktop::ask(const std::string& title, const std::string& question) {
  return qtk::ask(title, question, false);
}

void Desktop::sync() {
  if (toolkit_) toolkit_->sync();
}

void Desktop::raise_in_order() {
  if (toolkit_) toolkit_->raise_in_order();
}

void Desktop::after_every_use(std::function<void()> hook) {
  after_use_ = std::move(hook);
}

int Desktop::exec() {
  return toolkit_ ? toolkit_->exec() : 0;
}

void Desktop::quit() {
  QCoreApplication::quit();
}

}  // namespace quorin::qtk
