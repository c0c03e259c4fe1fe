// A minimal Qt program: one window holding one label. The start-up
// benchmark compares the program's time to its first window and its peak
// memory with this one's. With the argument "cjk" the label shows Chinese
// text in the Kai face the program's note boxes use, which tells how much
// of the difference the Chinese fonts alone make. With "floor URL" it is the
// same stack as the program's: both Chinese faces the program shows (Kai and
// Ming) and one GET of URL through libcurl before the window, the memory
// floor the program is measured against.
#include <curl/curl.h>

#include <QApplication>
#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>

#include <cstring>
#include <string>

namespace {

std::size_t Keep(char* data, std::size_t size, std::size_t count, void* body) {
  static_cast<std::string*>(body)->append(data, size * count);
  return size * count;
}

// The page's bytes, kept as the program keeps its page.
std::string Get(const char* url) {
  std::string body;
  curl_global_init(CURL_GLOBAL_DEFAULT);
  if (CURL* curl = curl_easy_init()) {
    curl_easy_setopt(curl, CURLOPT_URL, url);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Keep);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
    curl_easy_perform(curl);
    curl_easy_cleanup(curl);
  }
  return body;
}

QLabel* ChineseLabel(const char* face) {
  auto* label = new QLabel(QStringLiteral("在这里输入 北京时间"));
  QFont font(QString::fromLatin1(face));
  font.setPixelSize(32);
  font.setBold(true);
  label->setFont(font);
  return label;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 2 && std::strcmp(argv[1], "floor") == 0) {
    const std::string page = Get(argv[2]);
    QApplication app(argc, argv);
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(ChineseLabel("AR PL UKai CN"));
    layout->addWidget(ChineseLabel("AR PL UMing CN"));
    layout->addWidget(new QLabel(QString::number(page.size())));
    window.setWindowTitle(QStringLiteral("zoq-startup-reference"));
    window.move(50, 50);
    window.resize(748, 319);
    window.show();
    return app.exec();
  }
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
