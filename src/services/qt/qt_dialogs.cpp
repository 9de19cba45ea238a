#include "services/qt/qt_dialogs.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QTextBrowser>
#include <iostream>

#include "services/documents.h"

#include "services/qt/toolkit.h"

namespace quorin::qtk {

namespace {

enum class Mode { Open, Save };

DialogResult ask(Mode mode, const std::string& filter, const std::string& title) {
  ensure_application();
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

InputAnswer QtDialogs::input(const std::string& title, const std::vector<InputField>& fields) {
  ensure_application();
  QDialog dialog(QApplication::activeWindow());
  dialog.setWindowTitle(QString::fromStdString(title));
  auto* form = new QFormLayout(&dialog);
  std::vector<QWidget*> editors;
  for (const InputField& f : fields) {
    QWidget* editor = nullptr;
    if (!f.choices.empty()) {
      auto* list = new QComboBox(&dialog);
      for (const std::string& c : f.choices) list->addItem(QString::fromStdString(c));
      list->setCurrentText(QString::fromStdString(f.initial));
      editor = list;
    } else {
      editor = new QLineEdit(QString::fromStdString(f.initial), &dialog);
    }
    form->addRow(QString::fromStdString(f.prompt), editor);
    editors.push_back(editor);
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  form->addRow(buttons);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  std::vector<std::string> answers;
  for (QWidget* e : editors) {
    if (auto* list = qobject_cast<QComboBox*>(e))
      answers.push_back(list->currentText().toStdString());
    if (auto* edit = qobject_cast<QLineEdit*>(e)) answers.push_back(edit->text().toStdString());
  }
  return answers;
}

void show_error(const std::string& message) {
  std::cerr << message << std::endl;
  if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return;
  QMessageBox::critical(QApplication::activeWindow(), QStringLiteral("Error"),
                        QString::fromStdString(message));
}

bool ask(const std::string& title, const std::string& question, bool headless_answer) {
  if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return headless_answer;
  return QMessageBox::question(QApplication::activeWindow(), QString::fromStdString(title),
                               QString::fromStdString(question),
                               QMessageBox::Yes | QMessageBox::No,
                               QMessageBox::Yes) == QMessageBox::Yes;
}

QtDialogs::~QtDialogs() {
  delete help_.data();
}

void QtDialogs::open_document(const std::string& name) {
  const std::filesystem::path file =
      document_file(name, QCoreApplication::applicationDirPath().toStdString());
  if (!help_) {
    help_ = new HelpWindow;
    help_->setAttribute(Qt::WA_DeleteOnClose);
  }
  help_->show_document(file);
  help_->show();
  help_->raise();
  help_->activateWindow();
}

}  // namespace quorin::qtk
