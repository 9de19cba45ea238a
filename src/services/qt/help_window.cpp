#include "services/qt/help_window.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QImage>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextImageFormat>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <vector>

namespace quorin::qtk {
namespace {

constexpr int kWidth = 860, kHeight = 720;

// The picture a document shows under `name`, read when it is not yet.
QImage picture(QTextDocument& doc, const QString& name) {
  const QVariant data = doc.resource(QTextDocument::ImageResource, QUrl(name));
  if (data.userType() == QMetaType::QImage) return data.value<QImage>();
  if (data.userType() == QMetaType::QPixmap) return data.value<QPixmap>().toImage();
  if (data.userType() == QMetaType::QByteArray) return QImage::fromData(data.toByteArray());
  return {};
}

}  // namespace

// A browser whose pictures are made smaller to the width of the window when they are wider,
// so that a picture is seen whole without scrolling sideways.
class HelpWindow::Browser : public QTextBrowser {
 public:
  explicit Browser(QWidget* parent) : QTextBrowser(parent) {
    document()->setUndoRedoEnabled(false);
    connect(this, &QTextBrowser::sourceChanged, this, [this] { fit_pictures(); });
  }

 protected:
  void resizeEvent(QResizeEvent* e) override {
    QTextBrowser::resizeEvent(e);
    fit_pictures();
  }

 private:
  void fit_pictures() {
    QTextDocument& doc = *document();
    const double room = viewport()->width() - 2 * doc.documentMargin() - 2;
    if (room < 50) return;
    struct Fit {
      int position, length;
      QTextImageFormat format;
    };
    std::vector<Fit> fits;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
      for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment f = it.fragment();
        if (!f.charFormat().isImageFormat()) continue;
        QTextImageFormat format = f.charFormat().toImageFormat();
        const QImage image = picture(doc, format.name());
        if (image.isNull()) continue;
        const double width = std::min<double>(image.width(), room);
        if (format.width() == width) continue;
        format.setWidth(width);
        format.setHeight(image.height() * width / image.width());
        fits.push_back({f.position(), f.length(), format});
      }
    }
    QTextCursor cursor(&doc);
    for (const Fit& fit : fits) {
      cursor.setPosition(fit.position);
      cursor.setPosition(fit.position + fit.length, QTextCursor::KeepAnchor);
      cursor.setCharFormat(fit.format);
    }
  }
};

HelpWindow::HelpWindow(QWidget* parent)
    : QWidget(parent, Qt::Window),
      browser_(new Browser(this)),
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
