// The application object: Qt's Chinese translations and the font faces the
// layouts name, the hooks of the runtime's core half, the message waiter the
// platform layer sleeps on, and the end of the program.

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QThread>
#include <QTimer>
#include <QTranslator>

#include <atomic>

#include "platform/wait.h"
#include "controls_qt.h"
#include "qt.h"
#include "shell.h"

namespace zoq::ui {
namespace {

// Sleeps in Qt's event dispatcher, so a wait for a worker thread still
// serves the windows and costs no CPU.
class DispatcherWaiter final : public platform::MessageWaiter {
 public:
  explicit DispatcherWaiter(QThread* thread) : thread_(thread) {}

  bool WaitForEvents(int timeoutMs) override {
    if (woken_.exchange(false)) return false;
    QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance(thread_);
    if (!dispatcher || QThread::currentThread() != thread_) return false;
    if (timeoutMs == 0) return dispatcher->processEvents(QEventLoop::AllEvents);
    bool timedOut = false;
    QTimer timer;
    if (timeoutMs > 0) {  // negative: no time limit
      timer.setSingleShot(true);
      timer.setTimerType(Qt::PreciseTimer);
      QObject::connect(&timer, &QTimer::timeout, [&timedOut] { timedOut = true; });
      timer.start(timeoutMs);
    }
    const bool processed =
        dispatcher->processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    const bool woken = woken_.exchange(false);
    return processed && !timedOut && !woken;
  }

  void Wake() override {
    woken_ = true;
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance(thread_)) {
      dispatcher->wakeUp();
    }
  }

 private:
  QThread* thread_;
  std::atomic<bool> woken_{false};
};

// The layouts name Windows faces; these are the installed faces that stand
// in for them, Simplified Chinese forms first (see MakeFont for the rest).
void SubstituteFaces() {
  const QStringList kai = {QStringLiteral("AR PL UKai CN"), QStringLiteral("Noto Serif CJK SC"),
                           QStringLiteral("AR PL UMing CN")};
  const QStringList song = {QStringLiteral("AR PL UMing CN"), QStringLiteral("Noto Serif CJK SC"),
                            QStringLiteral("Noto Sans CJK SC")};
  const QStringList hei = {QStringLiteral("Noto Sans CJK SC"), QStringLiteral("AR PL UMing CN")};
  // A monospace face for the Latin letters; Chinese ones fall back to the
  // Song face every font falls back to (MakeFont), which is loaded anyway.
  const QStringList mono = {QStringLiteral("DejaVu Sans Mono")};
  QFont::insertSubstitutions(QStringLiteral("楷体_GB2312"), kai);
  QFont::insertSubstitutions(QStringLiteral("楷体"), kai);
  QFont::insertSubstitutions(QStringLiteral("宋体"), song);
  QFont::insertSubstitutions(QStringLiteral("新宋体"), song);
  QFont::insertSubstitutions(QStringLiteral("黑体"), hei);
  QFont::insertSubstitutions(QStringLiteral("Fixedsys"), mono);
}

}  // namespace

void LeaveEveryLoop() { QCoreApplication::exit(0); }  // nested loops too

struct Application::State {
  std::unique_ptr<QApplication> app;
  QTranslator translator;
  std::unique_ptr<DispatcherWaiter> waiter;
};

Application::Application() : state_(std::make_unique<State>()) {
  SetProgramEnding(false);
  // The program's name alone: Qt would take -reverse, -stylesheet, -platform
  // and the like from a real command line. Qt keeps both for its lifetime.
  static int argc = 1;
  static char name[] = "zoq";
  static char* argv[] = {name, nullptr};
  state_->app = std::make_unique<QApplication>(argc, argv);
  QApplication::setApplicationName(QStringLiteral("zoq"));
  // Only closing the main window or an explicit end stops the program.
  QApplication::setQuitOnLastWindowClosed(false);

  // Chinese whatever the locale: dialog buttons read 确定, not OK.
  QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::SimplifiedHanScript, QLocale::China));
  if (state_->translator.load(QStringLiteral("qtbase_zh_CN"),
                              QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QCoreApplication::installTranslator(&state_->translator);
  }

  QApplication::setStyle(MakeApplicationStyle());  // the application owns it
  SubstituteFaces();
  QApplication::setFont(DefaultFont());

  rt::SetPendingMessagesHook([] { QCoreApplication::processEvents(QEventLoop::AllEvents); });
  rt::SetProgramEnder(EndNow);
  state_->waiter = std::make_unique<DispatcherWaiter>(QThread::currentThread());
  platform::SetMessageWaiter(state_->waiter.get());
}

Application::~Application() {
  platform::SetMessageWaiter(nullptr);
  rt::SetProgramEnder({});
  rt::SetPendingMessagesHook({});
  CloseAllWindows();
  DiscardPreparedMessage();
  // Windows closed after the loop ended still wait for their deletion.
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QCoreApplication::removeTranslator(&state_->translator);
  state_->app.reset();
}

int RunMessageLoop() {
  if (!ProgramEnding()) QApplication::exec();
  return 0;
}

std::unique_ptr<platform::MessageWaiter> MakeDispatcherWaiter() {
  return std::make_unique<DispatcherWaiter>(QThread::currentThread());
}

}  // namespace zoq::ui
