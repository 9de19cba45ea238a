#include "services/qt/desktop_outputs.h"

#include <QClipboard>
#include <QGuiApplication>

#include "services/qt/output.h"
#include "services/qt/toolkit.h"

namespace quorin::qtk {

void SystemClipboard::set_text(const std::string& text) {
  ensure_application();
  QGuiApplication::clipboard()->setText(QString::fromStdString(text));
}

std::string SystemClipboard::text() const {
  ensure_application();
  return QGuiApplication::clipboard()->text().toStdString();
}

void WindowPictureWriter::write_picture(const PictureRequest& request) {
  save_window_picture(model_, request);
}

}  // namespace quorin::qtk
