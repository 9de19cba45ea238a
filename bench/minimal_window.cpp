// The yardstick for start-up: the smallest Qt Widgets program that shows a window.
#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QWidget window;
  window.setWindowTitle("Minimal window");
  window.resize(400, 300);
  window.show();
  return app.exec();
}
