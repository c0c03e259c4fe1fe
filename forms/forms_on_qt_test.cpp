// The main window as built from its layout: controls, fonts, colours,
// pictures, and what the window looks like.

#include <gtest/gtest.h>

#include <QFile>
#include <QGroupBox>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextLayout>
#include <QToolButton>

#include <set>

#include "forms/forms.h"
#include "runtime/ui_testing.h"
#include "support/qt_testing.h"

namespace zoq::forms {
namespace {

using testing::GlyphFaces;
using zoq::testing::Gbk;

class MainFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    main_ = ui::LoadWindow(MainForm(), {}, nullptr, false);
    ASSERT_NE(main_, nullptr);
  }
  void TearDown() override {
    main_->Destroy();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  QWidget* W(const char16_t* name) { return zoq::testing::Widget(*main_, Gbk(name)); }
  ui::Window* main_ = nullptr;
};

TEST_F(MainFormTest, WindowTitleSizeAndPlace) {
  QWidget* top = zoq::testing::TopLevel(*main_);
  EXPECT_EQ(top->windowTitle(), QStringLiteral("Ｚｏｑ个人播放器"));
  EXPECT_EQ(top->frameGeometry(), QRect(50, 50, 748, 319));
  EXPECT_EQ(ui::WindowNamed(kMainWindow), main_);
  // The icon's sizes that window managers show; not its 256-pixel one.
  std::set<int> sides;
  for (const QSize& size : top->windowIcon().availableSizes()) sides.insert(size.width());
  EXPECT_EQ(sides, (std::set<int>{16, 32, 48}));
}

// Where each control lies is checked on both backends (app/windows_test.cpp).
TEST_F(MainFormTest, NoteBoxesTwoAndThreeLieAboveTheFrame) {
  QWidget* top = zoq::testing::TopLevel(*main_);
  EXPECT_EQ(top->childAt(400, 100), W(u"编辑框6"));
  EXPECT_EQ(top->childAt(400, 180), W(u"编辑框4"));
  EXPECT_EQ(W(u"时钟1"), nullptr);  // a timer has no widget
}

TEST_F(MainFormTest, TextsAndKinds) {
  EXPECT_EQ(qobject_cast<QGroupBox*>(W(u"分组框1"))->title(), QStringLiteral("求小三"));
  for (const char16_t* note : {u"编辑框3", u"编辑框6", u"编辑框4"}) {
    auto* edit = qobject_cast<QLineEdit*>(W(note));
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->text(), QStringLiteral("在这里输入"));
    EXPECT_FALSE(edit->hasFrame());
    EXPECT_TRUE(edit->alignment() & Qt::AlignLeft);
    EXPECT_FALSE(edit->isReadOnly());
  }
  EXPECT_EQ(main_->ControlText(Gbk(u"标签3")), "           ");  // eleven spaces
  EXPECT_EQ(main_->ControlText(Gbk(u"编辑框5")), "1.2");
  EXPECT_EQ(main_->ControlText(Gbk(u"编辑框2")), "");
  EXPECT_EQ(main_->ControlText(Gbk(u"编辑框1")), "");
  auto* page = qobject_cast<QPlainTextEdit*>(W(u"编辑框1"));
  ASSERT_NE(page, nullptr);
  EXPECT_TRUE(page->isReadOnly());
  EXPECT_NE(qobject_cast<QLineEdit*>(W(u"编辑框5")), nullptr);
  EXPECT_NE(qobject_cast<QToolButton*>(W(u"图形按钮1")), nullptr);
  EXPECT_EQ(W(u"图形按钮1")->accessibleName(), QStringLiteral("个人设置"));
}

TEST_F(MainFormTest, FontsResolveToChineseFaces) {
  const QFont caption = W(u"分组框1")->font();
  EXPECT_EQ(caption.pixelSize(), 29);
  EXPECT_EQ(caption.weight(), QFont::Bold);
  EXPECT_EQ(GlyphFaces(caption, QStringLiteral("求小三")),
            std::set<QString>{QStringLiteral("ar pl uming cn")});
  for (const char16_t* note : {u"编辑框3", u"编辑框6", u"编辑框4"}) {
    const QFont font = W(note)->font();
    EXPECT_EQ(font.pixelSize(), 32);
    EXPECT_EQ(font.weight(), QFont::Bold);
    EXPECT_EQ(GlyphFaces(font, QStringLiteral("在这里输入")),
              std::set<QString>{QStringLiteral("ar pl ukai cn")});
  }
  const QFont clock = W(u"标签3")->font();
  EXPECT_EQ(clock.pixelSize(), 16);
  EXPECT_EQ(clock.weight(), QFont::Bold);
  EXPECT_EQ(GlyphFaces(clock, QStringLiteral("北京时间：时分秒")),
            std::set<QString>{QStringLiteral("ar pl ukai cn")});
  // The hidden boxes have no font of their own: the default, not the frame's.
  const QFont store = W(u"编辑框5")->font();
  EXPECT_EQ(store.pixelSize(), 12);
  EXPECT_EQ(store.weight(), QFont::Normal);
}

TEST_F(MainFormTest, ColoursOfTheLayout) {
  const QColor cyan(0, 255, 255), magenta(255, 0, 255);
  EXPECT_EQ(W(u"分组框1")->palette().color(QPalette::Window), cyan);
  EXPECT_EQ(W(u"分组框1")->palette().color(QPalette::WindowText), magenta);
  for (const char16_t* note : {u"编辑框3", u"编辑框6", u"编辑框4"}) {
    EXPECT_EQ(W(note)->palette().color(QPalette::Text), magenta);
    EXPECT_EQ(W(note)->palette().color(QPalette::Base), cyan);
  }
  EXPECT_EQ(W(u"标签3")->palette().color(QPalette::WindowText), QColor(0, 0, 0));
  EXPECT_EQ(W(u"标签3")->palette().color(QPalette::Window), cyan);
  EXPECT_EQ(W(u"编辑框5")->palette().color(QPalette::Base), QColor(255, 255, 255));
  EXPECT_EQ(main_->BackColour(Gbk(u"分组框1")), 0x00FFFF00u);
  EXPECT_EQ(main_->TextColour(Gbk(u"编辑框3")), 0x00FF00FFu);
}

TEST_F(MainFormTest, ScreenShowsCyanFrameMagentaNotesAndThePictures) {
  const QImage shot = zoq::testing::TopLevel(*main_)->grab().toImage();
  // The client area: the outer 748x319 less the platform's frame.
  ASSERT_EQ(shot.size(), zoq::testing::TopLevel(*main_)->size());
  ASSERT_GE(shot.width(), 740);
  const QColor cyan(0, 255, 255);
  EXPECT_EQ(shot.pixelColor(600, 228), cyan);  // between note box 3 and the clock
  EXPECT_EQ(shot.pixelColor(4, 100), cyan);    // the picture box's margin
  auto count = [&shot](QRect area, auto match) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
      for (int x = area.left(); x <= area.right(); ++x) n += match(shot.pixelColor(x, y)) ? 1 : 0;
    return n;
  };
  auto magentaish = [](QColor c) { return c.red() > 200 && c.green() < 80 && c.blue() > 200; };
  for (int top : {0, 72, 144}) {
    EXPECT_GT(count(QRect(312, top, 432, 72), magentaish), 300) << "note box at " << top;
  }
  // The photograph fills the box's height, 16 pixels in from the box's left.
  auto photo = [](QColor c) { return c != QColor(0, 255, 255); };
  EXPECT_EQ(count(QRect(0, 0, 8, 288), photo), 0);
  EXPECT_GT(count(QRect(8, 0, 287, 288), photo), 287 * 288 * 9 / 10);
  // The gear shows in the part of its button inside the window.
  auto gearish = [](QColor c) { return c.red() > 60 && c.blue() < 230; };  // grey metal, not cyan
  EXPECT_GT(count(QRect(712, 256, 36, 40), gearish), 0);
}

TEST(Pictures, KindsAndSizesAsTheLayoutNeedsThem) {
  // The photograph: a 312x313 JPEG with three colour components.
  QFile photo(QStringLiteral(":/forms/photo.jpg"));
  ASSERT_TRUE(photo.open(QIODevice::ReadOnly));
  const QByteArray jpeg = photo.readAll();
  const qsizetype sof = jpeg.indexOf(QByteArray("\xFF\xC0", 2));
  ASSERT_GT(sof, 0);
  EXPECT_EQ((uchar(jpeg[sof + 5]) << 8) | uchar(jpeg[sof + 6]), 313);  // height
  EXPECT_EQ((uchar(jpeg[sof + 7]) << 8) | uchar(jpeg[sof + 8]), 312);  // width
  EXPECT_EQ(uchar(jpeg[sof + 9]), 3);                                    // components

  const QImage gear(QStringLiteral(":/forms/gear.png"));
  EXPECT_EQ(gear.size(), QSize(32, 32));
  EXPECT_TRUE(gear.hasAlphaChannel());
  EXPECT_EQ(gear.pixelColor(0, 0).alpha(), 0);     // transparent corner
  EXPECT_EQ(gear.pixelColor(16, 16).alpha(), 0);   // and hole
  EXPECT_EQ(gear.pixelColor(16, 5).alpha(), 255);  // solid rim

  QImageReader contact(QStringLiteral(":/forms/contact.jpg"));
  EXPECT_EQ(contact.format(), QByteArray("jpeg"));
  EXPECT_EQ(contact.size(), QSize(244, 136));

  // The icon: one file, four sizes, 32 bits with alpha.
  QImageReader icon(QStringLiteral(":/forms/zoq.ico"));
  EXPECT_EQ(icon.imageCount(), 4);
  std::set<int> sizes;
  for (int i = 0; i < icon.imageCount(); ++i) {
    ASSERT_TRUE(icon.jumpToImage(i));
    const QImage image = icon.read();
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.width(), image.height());
    EXPECT_TRUE(image.hasAlphaChannel());
    EXPECT_EQ(image.pixelColor(0, 0).alpha(), 0);  // rounded corner
    sizes.insert(image.width());
  }
  EXPECT_EQ(sizes, (std::set<int>{16, 32, 48, 256}));
}

}  // namespace
}  // namespace zoq::forms
