#include "services/qt/qt_settings.h"

#include <QStandardPaths>
#include <ostream>
#include <system_error>

namespace quorin::qtk {
namespace {

QString to_qstring(std::string_view s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

std::unique_ptr<QSettings> open_file(const std::filesystem::path& p) {
  return std::make_unique<QSettings>(QString::fromStdString(p.string()), QSettings::IniFormat);
}

}  // namespace

std::filesystem::path QtSettings::user_file() {
  const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
  return std::filesystem::path(config.toStdString()) / "quorin" / "quorin.conf";
}

QtSettings::QtSettings(std::ostream& warnings) : QtSettings(user_file(), warnings) {}

QtSettings::QtSettings(const std::filesystem::path& file, std::ostream& warnings) : path_(file) {
  file_ = open_file(path_);
  if (file_->status() == QSettings::NoError) return;

  if (file_->status() == QSettings::FormatError) {
    file_.reset();  // before the move, so nothing of the damaged file is written back
    std::filesystem::path aside = path_;
    aside += ".bad";
    std::error_code ec;
    std::filesystem::rename(path_, aside, ec);
    if (!ec) {
      file_ = open_file(path_);
      if (file_->status() == QSettings::NoError) {
        warnings << "quorin: the settings file " << path_.string()
                 << " is damaged; it was moved to " << aside.string()
                 << " and the settings start afresh.\n";
        return;
      }
    }
  }
  // The file stays as it is, and nothing is written to it.
  file_.reset();
  warnings << "quorin: the settings file " << path_.string()
           << " cannot be read; it is ignored and this session's settings are not kept.\n";
}

QtSettings::~QtSettings() {
  sync();
}

std::optional<std::string> QtSettings::value(std::string_view key) const {
  if (!file_) return memory_.value(key);
  const QVariant v = file_->value(to_qstring(key));
  if (!v.isValid()) return std::nullopt;
  return v.toString().toStdString();
}

void QtSettings::set_value(std::string_view key, std::string_view text) {
  if (!file_) return memory_.set_value(key, text);
  file_->setValue(to_qstring(key), to_qstring(text));
}

void QtSettings::remove(std::string_view key) {
  if (!file_) return memory_.remove(key);
  file_->remove(to_qstring(key));
}

void QtSettings::sync() {
  if (file_) file_->sync();
}

}  // namespace quorin::qtk
