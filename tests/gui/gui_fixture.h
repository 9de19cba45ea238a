// The desktop program as the user meets it: the program put together over the real desktop
// exactly as the desktop executable puts it together, offscreen, over a scratch copy of the
// start folder, with helpers that drive the real widgets by mouse and keyboard and answer the
// real dialogs as they open.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <atomic>
#include <deque>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include <unistd.h>

#include "app/application.h"
#include "services/qt/desktop.h"
#include "windows/start_folder_fixture.h"

namespace quorin::test {

// A scratch start folder holding the supplied files and an empty export file.
inline std::filesystem::path scratch_start_folder(std::unique_ptr<StartFolderFixture>& scratch) {
  namespace fs = std::filesystem;
  static std::atomic<unsigned> n{0};
  const fs::path folder = fs::temp_directory_path() /
                          ("quorin-gui-" + std::to_string(::getpid()) + "-" + std::to_string(n++));
  fs::remove_all(folder);
  const fs::path shipped = QUORIN_SUPPLIED;
  if (fs::is_regular_file(shipped / "quorin_matrix_2007_v1.mat")) {
    fs::copy(shipped, folder, fs::copy_options::recursive);
  } else {
    scratch = std::make_unique<StartFolderFixture>();
    fs::copy(scratch->path(), folder, fs::copy_options::recursive);
  }
  if (!fs::exists(folder / "data" / "export.txt")) {
    fs::create_directories(folder / "data");
    std::ofstream(folder / "data" / "export.txt");
  }
  return folder;
}

// Answers the real dialogs and message boxes the program opens, with the answers queued by
// the test, by keys and clicks as a user gives them. A message box that is not a question is
// read and closed with its button (its text kept); a question or dialog with no answer
// queued is cancelled and named as unanswered.
class DialogAnswerer {
 public:
  struct Answer {
    enum class Kind { File, Input, Yes, No, Cancel } kind = Kind::Cancel;
    QString file;
    std::vector<std::string> fields;
  };
  // Starts watching (once the application exists).
  void start() {
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, [this] { answer_open_dialog(); });
    timer_.start();
  }
  void queue(Answer a) { answers_.push_back(std::move(a)); }

  std::vector<std::string> messages;    // texts of the message boxes that were closed
  std::vector<std::string> questions;   // texts of the questions answered
  std::vector<std::string> unanswered;  // titles of dialogs cancelled for want of an answer
  std::vector<std::string> titles;      // titles of every dialog answered, in order

 private:
  Answer next(const QString& title, bool question) {
    titles.push_back(title.toStdString());
    if (answers_.empty()) {
      unanswered.push_back(title.toStdString());
      return {question ? Answer::Kind::No : Answer::Kind::Cancel, {}, {}};
    }
    Answer a = std::move(answers_.front());
    answers_.pop_front();
    return a;
  }

  static void click(QAbstractButton* b) {
    if (b) QTest::mouseClick(b, Qt::LeftButton, Qt::NoModifier, b->rect().center());
  }

  static void type(QLineEdit* edit, const std::string& text) {
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, QString::fromStdString(text));
  }

  // Chooses an item of a list by typing its first letters, as the list's keyboard search
  // allows.
  static void choose(QComboBox* list, const std::string& text) {
    if (list->findText(QString::fromStdString(text)) < 0) return;  // not offered: kept
    list->setFocus();
    QTest::keyClicks(list, QString::fromStdString(text));
  }

  void answer_open_dialog() {
    QWidget* w = QApplication::activeModalWidget();
    if (!w && !busy_) {
      // The window the user works in, given back its keyboard when a dialog closes, as the
      // window manager does.
      if (QWidget* active = QApplication::activeWindow()) origin_ = active;
      if (!QApplication::activeWindow() && origin_ && origin_->isVisible()) {
        origin_->activateWindow();
        QApplication::setActiveWindow(origin_);
      }
      return;
    }
    if (!w->isVisible() || busy_ || handled_.contains(w)) return;
    // A progress window asks nothing: the user waits for the work (or clicks its Cancel).
    if (w->inherits("QProgressDialog")) return;
    busy_ = true;
    handled_.push_back(w);
    if (auto* box = qobject_cast<QMessageBox*>(w)) {
      const bool question = box->button(QMessageBox::Yes) != nullptr;
      const bool in_file_dialog = qobject_cast<QFileDialog*>(box->parentWidget()) != nullptr;
      if (in_file_dialog) {
        click(box->button(QMessageBox::Yes));  // replacing the file chosen
      } else if (question) {
        questions.push_back(box->text().toStdString());
        const Answer a = next(box->windowTitle(), true);
        click(box->button(a.kind == Answer::Kind::Yes ? QMessageBox::Yes : QMessageBox::No));
      } else {
        messages.push_back(box->text().toStdString());
        click(box->buttons().isEmpty() ? nullptr : box->buttons().front());
      }
    } else if (auto* files = qobject_cast<QFileDialog*>(w)) {
      const Answer a = next(files->windowTitle(), false);
      auto* name = files->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
      if (a.kind == Answer::Kind::File && name) {
        // The folder is chosen as a click in the folder list does, the name typed, then Enter.
        const QFileInfo chosen(a.file);
        files->setDirectory(chosen.absolutePath());
        type(name, chosen.fileName().toStdString());
        QTest::qWait(20);
        while (QWidget* popup = QApplication::activePopupWidget()) {
          QTest::keyClick(popup, Qt::Key_Escape);
          QCoreApplication::processEvents();
        }
        // A file that is there already brings the dialog's own "replace?" box up inside this
        // key press; a timer of its own answers it, as this one cannot run again until done.
        QTimer replace;
        replace.setInterval(5);
        QObject::connect(&replace, &QTimer::timeout, [files] {
          auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
          if (box && box->isVisible() && box->parentWidget() == files)
            click(box->button(QMessageBox::Yes));
        });
        replace.start();
        QTest::keyClick(name, Qt::Key_Return);
      } else {
        QTest::keyClick(files, Qt::Key_Escape);
      }
    } else if (auto* dialog = qobject_cast<QDialog*>(w)) {
      const Answer a = next(dialog->windowTitle(), false);
      auto* buttons = dialog->findChild<QDialogButtonBox*>();
      if (a.kind == Answer::Kind::Input && buttons) {
        // The fields in the order they stand; an answer short of fields leaves the rest.
        std::size_t k = 0;
        for (QWidget* field : dialog->findChildren<QWidget*>()) {
          if (k >= a.fields.size()) break;
          if (auto* edit = qobject_cast<QLineEdit*>(field); edit && !edit->parent()->inherits("QComboBox")) {
            type(edit, a.fields[k++]);
          } else if (auto* list = qobject_cast<QComboBox*>(field)) {
            choose(list, a.fields[k++]);
          }
        }
        click(buttons->button(QDialogButtonBox::Ok));
      } else {
        QTest::keyClick(dialog, Qt::Key_Escape);
      }
    }
    busy_ = false;
  }

  QTimer timer_;
  std::deque<Answer> answers_;
  QList<QPointer<QWidget>> handled_;
  QPointer<QWidget> origin_;
  bool busy_ = false;
};

class GuiFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = scratch_start_folder(scratch_);
    std::error_code ec;
    previous_folder_ = std::filesystem::current_path(ec);
    std::filesystem::current_path(folder_, ec);
    start_program();
    ASSERT_TRUE(started_) << (errors_.empty() ? "" : errors_.back());
    ASSERT_NE(window(1), nullptr);
    activate(1);
  }

  void TearDown() override {
    stop_program();
    std::error_code ec;
    std::filesystem::current_path(previous_folder_, ec);
    std::filesystem::remove_all(folder_, ec);
  }

 public:
  // Puts the program together in the start folder and starts it, as the desktop executable
  // does (the restore question included, answered from the queue).
  void start_program() {
    desktop_ = std::make_unique<qtk::Desktop>(folder_ / "quorin.conf", console_);
    if (!answerer_started_) answerer_.start();
    answerer_started_ = true;
    app_ = std::make_unique<Application>(folder_, *desktop_, console_);
    program_ = &app_->program();
    toolkit_ = &desktop_->toolkit();
    started_ = app_->start();
    if (started_) {
      app_->offer_waiting_session();
      app_->after_use();
    }
  }
  // Ends it as a crash would: nothing tidied, the kept session left behind.
  void crash_program() {
    app_->kept_session().flush();
    desktop_->after_every_use(nullptr);
    // What a killed program leaves: its session file, no last session.
    const std::filesystem::path kept = app_->kept_session().file();
    const std::filesystem::path copy = kept.string() + ".crashed";
    std::filesystem::copy_file(kept, copy, std::filesystem::copy_options::overwrite_existing);
    stop_program();
    std::filesystem::rename(copy, kept);
    std::filesystem::remove(folder_ / "data" / "session.last");
  }
  void stop_program() {
    program_ = nullptr;
    toolkit_ = nullptr;
    app_.reset();
    desktop_.reset();
  }

  // The answers the next dialogs get, in the order they open.
  void answer_file(const std::filesystem::path& file) {
    answerer_.queue({DialogAnswerer::Answer::Kind::File, QString::fromStdString(file.string()), {}});
  }
  void answer_input(std::vector<std::string> fields) {
    answerer_.queue({DialogAnswerer::Answer::Kind::Input, {}, std::move(fields)});
  }
  void answer_yes() { answerer_.queue({DialogAnswerer::Answer::Kind::Yes, {}, {}}); }
  void answer_cancel() { answerer_.queue({DialogAnswerer::Answer::Kind::Cancel, {}, {}}); }

  // The top-level widget of window `number`; nullptr when it is not open.
  QWidget* window(int number) { return toolkit_->widget(gfx::Handle{double(number)}); }

  // Makes window `number` the active window, as a click on its title bar does.
  void activate(int number) {
    QWidget* w = window(number);
    ASSERT_NE(w, nullptr) << "window " << number;
    w->show();
    w->activateWindow();
    QApplication::setActiveWindow(w);
    ASSERT_TRUE(QTest::qWaitForWindowActive(w)) << "window " << number;
  }

  // The model control of window `number` whose Tag, or else whose label (blanks trimmed),
  // is `name`; the first in creation order. Fails the test when there is none.
  gfx::Control& model_control(int number, std::string_view name) {
    gfx::Window* w = program_->gfx.window(number);
    if (!w) throw std::logic_error("window " + std::to_string(number) + " is not open");
    auto trimmed = [](std::string s) {
      s.erase(0, s.find_first_not_of(' '));
      s.erase(s.find_last_not_of(' ') + 1);
      return s;
    };
    for (int pass = 0; pass < 2; ++pass) {
      for (auto* c : program_->gfx.children_of<gfx::Control>(*w)) {
        if (pass == 0 && c->tag == name) return *c;
        if (pass == 1 && trimmed(c->string) == trimmed(std::string(name))) return *c;
      }
    }
    throw std::logic_error("window " + std::to_string(number) + " has no control " +
                           std::string(name));
  }

  // The widget showing that control.
  QWidget* control(int number, std::string_view name) {
    toolkit_->sync();
    return toolkit_->widget(model_control(number, name).handle());
  }
  template <class W>
  W* control_as(int number, std::string_view name) {
    return qobject_cast<W*>(control(number, name));
  }

  // A click on a window that is not active makes it active first, as the window manager does
  // (after a message box has closed, say).
  static void bring_to_front(QWidget* w) {
    QWidget* top = w->window();
    if (QApplication::activeWindow() == top) return;
    top->activateWindow();
    QApplication::setActiveWindow(top);
  }

  // Types into an edit box as a user does: a click into it, select all, the keys; no Enter.
  static void type_into(QWidget* edit, const QString& text) {
    ASSERT_NE(edit, nullptr);
    bring_to_front(edit);
    QTest::mouseClick(edit, Qt::LeftButton, Qt::NoModifier,
                      QPoint(edit->width() / 2, edit->height() / 2));
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(edit, text);
  }
  void type_into(int number, std::string_view name, const QString& text) {
    type_into(control(number, name), text);
  }

  // A left click in the middle of a widget.
  static void click(QWidget* w) {
    ASSERT_NE(w, nullptr);
    bring_to_front(w);
    QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, QPoint(w->width() / 2, w->height() / 2));
  }
  void click(int number, std::string_view name) { click(control(number, name)); }

  Globals& globals() { return program_->globals; }
  gfx::Model& model() { return program_->gfx; }
  const std::filesystem::path& folder() const { return folder_; }
  std::string export_text() const {
    std::ifstream in(folder_ / "data" / "export.txt", std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  std::filesystem::path folder_, previous_folder_;
  std::unique_ptr<StartFolderFixture> scratch_;
  std::ostringstream console_;
  DialogAnswerer answerer_;
  // The run-time errors the program showed, in order.
  std::vector<std::string>& errors_ = answerer_.messages;
  std::unique_ptr<qtk::Desktop> desktop_;
  std::unique_ptr<Application> app_;
  Program* program_ = nullptr;
  qtk::Toolkit* toolkit_ = nullptr;
  bool started_ = false;
  bool answerer_started_ = false;
};

}  // namespace quorin::test
