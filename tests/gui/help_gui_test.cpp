// The Help button as the user uses it: a click opens the user guide in the help window, with
// its pictures; a click on a link opens that document in the same window, Back returns.
#include <QImage>
#include <QPushButton>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextImageFormat>
#include <algorithm>

#include "gui/gui_fixture.h"
#include "services/qt/help_window.h"

namespace quorin::test {
namespace {

using HelpGui = GuiFixture;

// The help window once it is on the screen; nullptr when it does not come.
qtk::HelpWindow* shown_help_window() {
  for (int i = 0; i < 200; ++i) {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->objectName() == QLatin1String(qtk::HelpWindow::kObjectName) && w->isVisible())
        return static_cast<qtk::HelpWindow*>(w);
    QTest::qWait(10);
  }
  return nullptr;
}

// The fragments of the shown document: the pictures, or the links to `href`.
std::vector<QTextFragment> fragments(QTextBrowser& b, bool pictures, const QString& href = {}) {
  std::vector<QTextFragment> out;
  for (QTextBlock block = b.document()->begin(); block.isValid(); block = block.next())
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextFragment f = it.fragment();
      if (pictures ? f.charFormat().isImageFormat() : f.charFormat().anchorHref() == href)
        out.push_back(f);
    }
  return out;
}

// Scrolls the browser to document position `pos` and returns where it shows on the viewport.
QRect shown_at(QTextBrowser& b, int pos) {
  QTextCursor c(b.document());
  c.setPosition(pos);
  b.setTextCursor(c);
  b.ensureCursorVisible();
  QApplication::processEvents();
  return b.cursorRect(c);
}

TEST_F(HelpGui, HelpOpensTheGuideWithItsPicturesAndItsLinksOpenTheOtherDocuments) {
  click(1, "Help");
  qtk::HelpWindow* help = shown_help_window();
  ASSERT_NE(help, nullptr) << (errors_.empty() ? "no help window" : errors_.back());
  EXPECT_TRUE(errors_.empty()) << errors_.front();
  QTextBrowser& browser = help->browser();
  EXPECT_EQ(browser.source().fileName(), "user-guide.md");
  EXPECT_TRUE(browser.toPlainText().startsWith("quorin user guide"))
      << browser.toPlainText().left(80).toStdString();
  EXPECT_EQ(browser.document()->begin().blockFormat().headingLevel(), 1)
      << "the title is a heading, not the raw Markdown";
  EXPECT_FALSE(browser.toPlainText().contains("](")) << "links shown as raw Markdown";

  // Every picture of the guide is found beside it, and the first one shows on the screen with
  // its own pixels.
  const std::vector<QTextFragment> pictures = fragments(browser, true);
  ASSERT_GE(pictures.size(), 6u);
  for (const QTextFragment& f : pictures) {
    const QString name = f.charFormat().toImageFormat().name();
    const QVariant data = browser.document()->resource(QTextDocument::ImageResource, QUrl(name));
    const QImage picture = data.canConvert<QImage>() ? data.value<QImage>() : QImage();
    EXPECT_GT(picture.width(), 100) << name.toStdString() << " is not shown";
  }
  // The widest picture is seen whole: made smaller to the window's width, not cut.
  int widest = 0;
  for (const QTextFragment& f : pictures) {
    const QTextImageFormat format = f.charFormat().toImageFormat();
    const QImage natural = browser.document()
                               ->resource(QTextDocument::ImageResource, QUrl(format.name()))
                               .value<QImage>();
    const int shown = format.width() > 0 ? int(format.width()) : natural.width();
    widest = std::max(widest, shown);
    EXPECT_LE(shown, browser.viewport()->width()) << format.name().toStdString();
  }
  EXPECT_GT(widest, browser.viewport()->width() / 2);
  const QTextImageFormat first = pictures.front().charFormat().toImageFormat();
  QImage picture = browser.document()
                       ->resource(QTextDocument::ImageResource, QUrl(first.name()))
                       .value<QImage>();
  if (first.width() > 0)
    picture = picture.scaled(int(first.width()), int(first.height()), Qt::IgnoreAspectRatio,
                             Qt::SmoothTransformation);
  const QRect at = shown_at(browser, pictures.front().position());
  const QImage screen = browser.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
  int compared = 0, same = 0;
  for (int y = 4; y < picture.height(); y += 37)
    for (int x = 4; x < picture.width(); x += 41) {
      const QPoint p(at.left() + x, at.top() + y);
      if (!screen.rect().contains(p)) continue;
      ++compared;
      const QColor a = screen.pixelColor(p), b = picture.pixelColor(x, y);
      same += std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
                  std::abs(a.blue() - b.blue()) <=
              24;
    }
  ASSERT_GT(compared, 20) << "the picture is not in view";
  EXPECT_GT(same, compared * 9 / 10)
      << first.name().toStdString() << " is not what the screen shows";

  // A click on the link to the scripting document opens it here; Back returns to the guide.
  const std::vector<QTextFragment> links = fragments(browser, false, "scripting.md");
  ASSERT_FALSE(links.empty()) << "the guide has no link to scripting.md";
  const QRect link = shown_at(browser, links.front().position() + links.front().length() / 2);
  QTest::mouseClick(browser.viewport(), Qt::LeftButton, Qt::NoModifier, link.center());
  QTRY_COMPARE(browser.source().fileName(), QStringLiteral("scripting.md"));
  EXPECT_TRUE(browser.toPlainText().startsWith("Scripting quorin"))
      << browser.toPlainText().left(80).toStdString();
  auto* back = help->findChild<QPushButton*>();
  ASSERT_NE(back, nullptr);
  ASSERT_EQ(back->text(), "Back");
  click(back);
  QTRY_COMPARE(browser.source().fileName(), QStringLiteral("user-guide.md"));

  // The Help button again brings the same window back with the guide.
  help->hide();
  click(1, "Help");
  EXPECT_EQ(shown_help_window(), help);
}

}  // namespace
}  // namespace quorin::test
