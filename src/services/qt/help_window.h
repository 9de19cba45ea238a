// The help window: the program's documents (Markdown with pictures, a picture wider than the
// window made smaller to its width) shown inside the program, links between them followed in
// the window, links to the web opened in the system's browser.
#pragma once

#include <QWidget>
#include <filesystem>

class QTextBrowser;
class QPushButton;

namespace quorin::qtk {

class HelpWindow : public QWidget {
 public:
  // The object name the window goes by (tests find it so).
  static constexpr const char* kObjectName = "quorinHelp";

  explicit HelpWindow(QWidget* parent = nullptr);

  // Shows the Markdown document `file`; Back returns to what was shown before.
  void show_document(const std::filesystem::path& file);

  QTextBrowser& browser() { return *browser_; }

 private:
  class Browser;
  QTextBrowser* browser_;
  QPushButton* back_;
  QPushButton* forward_;
  QPushButton* contents_;
};

}  // namespace quorin::qtk
