#include "services/qt/help_window.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScreen>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace quorin::qtk {
namespace {

constexpr int kWidth = 860, kHeight = 720;  // room for the guide's pictures at their size

}  // namespace

HelpWindow::HelpWindow(QWidget* parent)
    : QWidget(parent, Qt::Window),
      browser_(new QTextBrowser(this)),
      back_(new QPushButton(QStringLiteral("Back"), this)),
      forward_(new QPushButton(QStringLiteral("Forward"), this)),
      contents_(new QPushButton(QStringLiteral("User guide"), this)) {
  setObjectName(QLatin1String(kObjectName));
  setWindowTitle(QStringLiteral("quorin help"));
  browser_->setObjectName(QStringLiteral("helpText"));
  // Links between the documents are followed here; links to the web go to the browser.
  browser_->setOpenLinks(true);
  browser_->setOpenExternalLinks(true);
  back_->setEnabled(false);
  forward_->setEnabled(false);
  connect(back_, &QPushButton::clicked, browser_, &QTextBrowser::backward);
  connect(forward_, &QPushButton::clicked, browser_, &QTextBrowser::forward);
  connect(contents_, &QPushButton::clicked, browser_, &QTextBrowser::home);
  connect(browser_, &QTextBrowser::backwardAvailable, back_, &QPushButton::setEnabled);
  connect(browser_, &QTextBrowser::forwardAvailable, forward_, &QPushButton::setEnabled);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(back_);
  buttons->addWidget(forward_);
  buttons->addWidget(contents_);
  buttons->addStretch(1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(buttons);
  layout->addWidget(browser_, 1);

  QSize size(kWidth, kHeight);
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    size = size.boundedTo(screen->availableGeometry().size() * 9 / 10);
  resize(size);
}

void HelpWindow::show_document(const std::filesystem::path& file) {
  const QUrl url = QUrl::fromLocalFile(QString::fromStdString(file.string()));
  if (browser_->source() != url) browser_->setSource(url, QTextDocument::MarkdownResource);
}

}  // namespace quorin::qtk
