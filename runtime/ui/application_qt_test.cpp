// The application object: translations, fonts, the core hooks and the
// message waiter.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QRawFont>
#include <QTextLayout>
#include <QThread>

#include <atomic>
#include <set>
#include <thread>

#include "platform/wait.h"
#include "platform/win32.h"
#include "qt.h"
#include "runtime/ui_testing.h"
#include "support/qt_testing.h"

namespace zoq::ui {
namespace {

using testing::Gbk;
using zoq::testing::GlyphFaces;
using zoq::testing::ModalAnswerer;


TEST(Fonts, LayoutFacesResolveToInstalledChineseFaces) {
  const QString han = QStringLiteral("在这里输入北京时间");
  EXPECT_EQ(GlyphFaces(MakeFont({Gbk(u"楷体_GB2312"), 32, 700}), han),
            std::set<QString>{QStringLiteral("ar pl ukai cn")});
  EXPECT_EQ(GlyphFaces(MakeFont({Gbk(u"新宋体"), 12, 400}), han),
            std::set<QString>{QStringLiteral("ar pl uming cn")});
  EXPECT_EQ(GlyphFaces(MakeFont({Gbk(u"宋体"), 12, 400}), han),
            std::set<QString>{QStringLiteral("ar pl uming cn")});
  // Fixedsys becomes a monospace face for Latin letters, with the Song
  // face's Simplified forms for Chinese ones.
  EXPECT_EQ(GlyphFaces(MakeFont({Gbk(u"Fixedsys"), 29, 700}), QStringLiteral("Ab求小三")),
            (std::set<QString>{QStringLiteral("dejavu sans mono"), QStringLiteral("ar pl uming cn")}));
  EXPECT_EQ(GlyphFaces(DefaultFont(), han),
            std::set<QString>{QStringLiteral("ar pl uming cn")});
}

TEST(Fonts, HeightIsPixelSizeAndWeightCarriesOver) {
  const QFont kai = MakeFont({Gbk(u"楷体_GB2312"), 32, 700});
  EXPECT_EQ(kai.pixelSize(), 32);
  EXPECT_EQ(kai.weight(), QFont::Bold);
  const QFont plain = MakeFont({Gbk(u"新宋体"), 12, 400});
  EXPECT_EQ(plain.pixelSize(), 12);
  EXPECT_EQ(plain.weight(), QFont::Normal);
  // No face: the default font, a Song face at 12 pixels, whatever else the
  // layout says.
  const QFont none = MakeFont({});
  EXPECT_EQ(none, DefaultFont());
  EXPECT_EQ(none.pixelSize(), 12);
  EXPECT_EQ(QApplication::font().pixelSize(), 12);
}

TEST(Translations, MessageBoxButtonReadsChinese) {
  QString buttonText;
  ModalAnswerer answer([&](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    ASSERT_NE(box, nullptr);
    ASSERT_EQ(box->buttons().size(), 1);
    buttonText = box->buttons().front()->text();
    // Text only: no theme icon beside it.
    EXPECT_TRUE(box->buttons().front()->icon().isNull());
  });
  ShowMessage(Gbk(u"最新版本~！可以使用~！"), 0);
  EXPECT_EQ(answer.Answered(), 1);
  EXPECT_EQ(buttonText, QStringLiteral("确定"));
}

TEST(CoreHooks, PendingMessagesAreDispatched) {
  bool ran = false;
  QTimer::singleShot(0, [&ran] { ran = true; });
  rt::ProcessPendingMessages();
  EXPECT_TRUE(ran);
}

TEST(MessageWaiter, WaitEndsWithAnEventFromAnotherThread) {
  std::atomic<bool> delivered{false};
  QObject receiver;
  std::thread poster([&] {
    QThread::msleep(30);
    QMetaObject::invokeMethod(&receiver, [&] { delivered = true; }, Qt::QueuedConnection);
  });
  // Nothing but the posted call can end this wait before its 20 s.
  const DWORD result = MsgWaitForMultipleObjects(0, nullptr, FALSE, 20000, QS_ALLEVENTS);
  poster.join();
  EXPECT_EQ(result, WAIT_OBJECT_0);  // the input slot, index 0 with no handles
  rt::ProcessPendingMessages();
  EXPECT_TRUE(delivered);
}

TEST(MessageWaiter, QuietWaitTimesOut) {
  // Whatever start-up left queued is dispatched first; then nothing comes.
  DWORD result = WAIT_OBJECT_0;
  for (int i = 0; i < 100 && result != WAIT_TIMEOUT; ++i) {
    result = MsgWaitForMultipleObjects(0, nullptr, FALSE, 30, QS_ALLEVENTS);
    rt::ProcessPendingMessages();
  }
  EXPECT_EQ(result, WAIT_TIMEOUT);
}

DWORD WINAPI ShortWork(LPVOID) {
  QThread::msleep(40);
  return 0;
}

TEST(MessageWaiter, ThreadEndWakesTheWaitWhileTimersKeepFiring) {
  int ticks = 0;
  QTimer timer;
  timer.setTimerType(Qt::PreciseTimer);
  QObject::connect(&timer, &QTimer::timeout, [&ticks] { ++ticks; });
  timer.start(5);
  HANDLE worker = CreateThread(nullptr, 0, ShortWork, nullptr, 0, nullptr);
  ASSERT_NE(worker, nullptr);
  DWORD result = WAIT_TIMEOUT;
  // As a fetch waits: dispatch after every wake-up until the worker ends.
  for (int i = 0; i < 10000; ++i) {
    result = MsgWaitForMultipleObjects(1, &worker, FALSE, 20000, QS_ALLEVENTS);
    if (result != WAIT_OBJECT_0 + 1) break;
    rt::ProcessPendingMessages();
  }
  CloseHandle(worker);
  EXPECT_EQ(result, WAIT_OBJECT_0);
  EXPECT_GT(ticks, 0);  // the window system kept being served during the wait
}

TEST(MessageWaiter, WakeEndsAWaitWithoutTimeLimit) {
  const auto waiter = MakeDispatcherWaiter();
  // Without a time limit only a Wake() makes the wait report no events, so
  // a lost Wake() would hang here; whatever else is queued reports true.
  waiter->Wake();  // before the wait: not lost
  while (waiter->WaitForEvents(-1)) {
  }
  std::thread waker([&waiter] {  // from another thread, during the wait
    QThread::msleep(30);
    waiter->Wake();
  });
  while (waiter->WaitForEvents(-1)) {
  }
  waker.join();
}

TEST(MessageWaiter, ReportsEventsButNotItsOwnTimeOut) {
  const auto waiter = MakeDispatcherWaiter();
  // Once what earlier tests left queued is through, a quiet wait ends by
  // its time limit and reports no events.
  bool quiet = false;
  for (int i = 0; i < 100 && !quiet; ++i) quiet = !waiter->WaitForEvents(10);
  EXPECT_TRUE(quiet);
  bool ran = false;
  QTimer::singleShot(1, [&ran] { ran = true; });
  bool events = false;
  for (int i = 0; i < 100 && !ran; ++i) events = waiter->WaitForEvents(5000);
  EXPECT_TRUE(ran);  // dispatched inside the wait
  EXPECT_TRUE(events);
}

}  // namespace
}  // namespace zoq::ui
