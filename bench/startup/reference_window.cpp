// A minimal Qt program: one window holding one label. The start-up
// benchmark compares the program's time to its first window and its peak
// memory with this one's. With the argument "cjk" the label shows Chinese
// text in the Kai face the program's note boxes use, which tells how much
// of the difference the Chinese fonts alone make.
#include <QApplication>
#include <QLabel>

#include <cstring>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const bool cjk = argc > 1 && std::strcmp(argv[1], "cjk") == 0;
  QLabel label(cjk ? QStringLiteral("在这里输入 北京时间") : QStringLiteral("reference"));
  if (cjk) {
    QFont font(QStringLiteral("AR PL UKai CN"));
    font.setPixelSize(32);
    font.setBold(true);
    label.setFont(font);
  }
  label.setWindowTitle(QStringLiteral("zoq-startup-reference"));
  label.move(50, 50);
  label.resize(748, 319);
  label.show();
  return app.exec();
}
