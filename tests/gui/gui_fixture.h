// The desktop program as the user meets it: the program and the toolkit started as the
// desktop executable starts them, offscreen, over a scratch copy of the start folder, with
// helpers that drive the real widgets by mouse and keyboard.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QWidget>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include <unistd.h>

#include "services/dialogs.h"
#include "services/qt/desktop_outputs.h"
#include "services/qt/toolkit.h"
#include "startup/program.h"
#include "windows/start_folder_fixture.h"

namespace quorin::test {

class GuiFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    namespace fs = std::filesystem;
    static std::atomic<unsigned> n{0};
    folder_ = fs::temp_directory_path() /
              ("quorin-gui-" + std::to_string(::getpid()) + "-" + std::to_string(n++));
    fs::remove_all(folder_);
    const fs::path shipped = QUORIN_SUPPLIED;
    if (fs::is_regular_file(shipped / "quorin_matrix_2007_v1.mat")) {
      fs::copy(shipped, folder_, fs::copy_options::recursive);
    } else {
      scratch_ = std::make_unique<StartFolderFixture>();
      fs::copy(scratch_->path(), folder_, fs::copy_options::recursive);
    }
    if (!fs::exists(folder_ / "data" / "export.txt")) {
      fs::create_directories(folder_ / "data");
      std::ofstream(folder_ / "data" / "export.txt");
    }
    std::error_code ec;
    previous_folder_ = fs::current_path(ec);
    fs::current_path(folder_, ec);

    program_ = std::make_unique<Program>(folder_, dialogs_, console_);
    program_->report_error = [this](const std::string& m) { errors_.push_back(m); };
    program_->clipboard = &clipboard_;
    pictures_ = std::make_unique<qtk::WindowPictureWriter>(program_->gfx);
    program_->pictures = pictures_.get();
    toolkit_ = std::make_unique<qtk::Toolkit>(
        program_->gfx, [this](const std::string& command) { program_->run_command(command); },
        [this](int number) { program_->close_requested(number); });
    ASSERT_TRUE(program_->guarded([this] { program_->start(); })) << errors_.back();
    toolkit_->sync();
    ASSERT_NE(window(1), nullptr);
    activate(1);
  }

  void TearDown() override {
    toolkit_.reset();
    program_.reset();
    std::error_code ec;
    std::filesystem::current_path(previous_folder_, ec);
    std::filesystem::remove_all(folder_, ec);
  }

 public:
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

  // Types into an edit box as a user does: a click into it, select all, the keys; no Enter.
  static void type_into(QWidget* edit, const QString& text) {
    ASSERT_NE(edit, nullptr);
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
  ScriptedDialogs dialogs_;
  std::ostringstream console_;
  qtk::SystemClipboard clipboard_;
  std::unique_ptr<qtk::WindowPictureWriter> pictures_;
  std::unique_ptr<Program> program_;
  std::unique_ptr<qtk::Toolkit> toolkit_;
  std::vector<std::string> errors_;
};

}  // namespace quorin::test
