#include "services/qt/qt_dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <iostream>

#include "services/qt/toolkit.h"

namespace quorin::qtk {

namespace {

bool headless() {
  const QString p = QGuiApplication::platformName();
  return p == "offscreen" || p == "minimal";
}

enum class Mode { Open, Save };

DialogResult ask(Mode mode, const std::string& filter, const std::string& title) {
  ensure_application();
  if (headless()) return {};
  const FilterParts parts = split_filter(filter);
  QString start = QString::fromStdString(parts.folder);
  QString name_filter = QString::fromStdString(parts.pattern);
  const bool wildcard = parts.pattern.find_first_of("*?") != std::string::npos;
  if (!parts.pattern.empty() && !wildcard) {
    // A plain name is the suggested file.
    start += name_filter;
    name_filter = QStringLiteral("*");
  }
  if (name_filter.isEmpty()) name_filter = QStringLiteral("*");
  QWidget* parent = QApplication::activeWindow();
  const QString caption = QString::fromStdString(title);
  const QString chosen = mode == Mode::Open
                             ? QFileDialog::getOpenFileName(parent, caption, start, name_filter)
                             : QFileDialog::getSaveFileName(parent, caption, start, name_filter);
  if (chosen.isEmpty()) return {};
  const QFileInfo info(chosen);
  DialogResult r;
  r.cancelled = false;
  r.file = info.fileName().toStdString();
  r.folder = info.absolutePath().toStdString();
  if (r.folder.empty() || r.folder.back() != '/') r.folder += '/';
  return r;
}

}  // namespace

FilterParts split_filter(const std::string& filter) {
  const std::size_t cut = filter.find_last_of("/\\");
  if (cut == std::string::npos) return {"", filter};
  return {filter.substr(0, cut + 1), filter.substr(cut + 1)};
}

DialogResult QtDialogs::open_file(const std::string& filter, const std::string& title) {
  return ask(Mode::Open, filter, title);
}

DialogResult QtDialogs::save_file(const std::string& filter, const std::string& title) {
  return ask(Mode::Save, filter, title);
}

void show_error(const std::string& message) {
  std::cerr << message << std::endl;
  if (!qobject_cast<QApplication*>(QCoreApplication::instance()) || headless()) return;
  QMessageBox::critical(QApplication::activeWindow(), QStringLiteral("Error"),
                        QString::fromStdString(message));
}

}  // namespace quorin::qtk
