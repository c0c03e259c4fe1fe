// Files that are not the pictures they seem, read and shown the way the
// settings window's picture button does it: read the whole file, hand the
// bytes to the picture box. Nothing may crash, hang or take memory in
// proportion to what a header claims; anything that is not a whole image
// leaves the box empty.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "runtime/ui.h"
#include "runtime/ui_testing.h"

namespace zoq {
namespace {

long PeakRssKiB() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

Bytes Encoded(const QImage& image, const char* format, int quality = -1) {
  QByteArray data;
  QBuffer buffer(&data);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, format, quality);
  return Bytes(data.begin(), data.end());
}

// A picture with detail in it, so that its compressed data is long and a
// cut falls inside the image data rather than after it.
QImage Noise(int w, int h) {
  QImage image(w, h, QImage::Format_RGB32);
  QRandomGenerator random(7);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) image.setPixel(x, y, random.generate() | 0xFF000000u);
  return image;
}

Bytes Cut(Bytes bytes, double share) {
  bytes.resize(static_cast<std::size_t>(static_cast<double>(bytes.size()) * share));
  return bytes;
}

void PutBigEndian16(Bytes& b, std::size_t at, std::uint16_t v) {
  b[at] = static_cast<std::uint8_t>(v >> 8);
  b[at + 1] = static_cast<std::uint8_t>(v);
}

// A real JPEG whose frame header claims 65500 x 65500 pixels.
Bytes JpegClaimingHuge() {
  Bytes jpeg = Encoded(Noise(16, 16), "JPEG");
  for (std::size_t i = 0; i + 8 < jpeg.size(); ++i) {
    if (jpeg[i] == 0xFF && (jpeg[i + 1] == 0xC0 || jpeg[i + 1] == 0xC2)) {
      PutBigEndian16(jpeg, i + 5, 65500);  // height
      PutBigEndian16(jpeg, i + 7, 65500);  // width
      return jpeg;
    }
  }
  ADD_FAILURE() << "no frame header in the encoded JPEG";
  return jpeg;
}

// A GIF whose screen and only frame claim 65535 x 65535 pixels, with a few
// bytes of image data.
Bytes GifClaimingHuge() {
  const std::uint8_t gif[] = {
      'G', 'I', 'F', '8', '9', 'a', 0xFF, 0xFF, 0xFF, 0xFF, 0x80, 0, 0,  // screen
      0, 0, 0, 0xFF, 0xFF, 0xFF,                                          // palette
      0x2C, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0,                        // frame
      0x02, 0x02, 0x44, 0x01, 0x00, 0x3B};
  return Bytes(std::begin(gif), std::end(gif));
}

// A bitmap whose header claims 50000 x 50000 pixels at 32 bits, without the
// pixels.
Bytes BmpClaimingHuge() {
  Bytes bmp = Encoded(QImage(4, 4, QImage::Format_ARGB32), "BMP");
  auto put32 = [&bmp](std::size_t at, std::int32_t v) {
    for (int i = 0; i < 4; ++i) bmp[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
  };
  put32(18, 50000);
  put32(22, 50000);
  return bmp;
}

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

class HostilePicture : public ::testing::Test {
 protected:
  void SetUp() override {
    static const ui::FormSpec form{
        .name = "hostile",
        .title = "hostile",
        .left = 10, .top = 10, .width = 340, .height = 320,
        .controls = {ui::ControlSpec{.name = "pic",
                                     .kind = ui::Kind::PictureBox,
                                     .container = {},
                                     .left = 10, .top = 10, .width = 320, .height = 288,
                                     .text = {}}}};
    window_ = ui::LoadWindow(form, [](ui::Window&) {}, nullptr, false);
    ASSERT_NE(window_, nullptr);
    ASSERT_TRUE(dir_.isValid());
  }

  void TearDown() override {
    if (window_ != nullptr) window_->Destroy();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }

  QString Path(const char* name) const { return dir_.filePath(QString::fromLatin1(name)); }

  void Write(const char* name, const Bytes& bytes) const {
    QFile f(Path(name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
  }

  // What the picture button does with a chosen file.
  void Choose(const QString& path) {
    window_->SetPicture("pic", ui::ReadWholeFile(QDir::toNativeSeparators(path).toStdString()));
  }

  bool BoxEmpty() const {
    auto* label = qobject_cast<QLabel*>(zoq::testing::Widget(*window_, "pic"));
    return label != nullptr && label->pixmap().isNull();
  }

  // A good picture first, so that "empty" afterwards means cleared.
  void ShowGoodPicture() {
    Write("good.png", Encoded(Noise(40, 30), "PNG"));
    Choose(Path("good.png"));
    ASSERT_FALSE(BoxEmpty());
  }

  ui::Window* window_ = nullptr;
  QTemporaryDir dir_;
};

TEST_F(HostilePicture, BytesThatAreNotAWholeImageLeaveTheBoxEmpty) {
  const Bytes jpeg = Encoded(Noise(400, 300), "JPEG", 95);
  const Bytes png = Encoded(Noise(400, 300), "PNG");
  struct Case {
    const char* name;
    Bytes bytes;
  };
  const std::vector<Case> cases = {
      {"words.jpg", Text("just some words, no picture at all\n")},
      {"empty.png", {}},
      {"header-only.jpg", Bytes(jpeg.begin(), jpeg.begin() + 200)},
      {"half.png", Cut(png, 0.5)},
      {"bomb.jpg", JpegClaimingHuge()},
      {"bomb.gif", GifClaimingHuge()},
      {"bomb.bmp", BmpClaimingHuge()},
      {"bomb.ppm", Text("P6\n60000 60000\n255\n\x01\x02\x03")},
      {"bomb.pgm", Text("P2\n60000 60000\n255\n1 2 3\n")},
      {"bomb.xpm", Text("/* XPM */\nstatic const char *x[] = {\n\"60000 60000 1 1\",\n"
                        "\"a c #ff0000\",\n\"aaaa\"};\n")},
      {"bomb.xbm", Text("#define x_width 60000\n#define x_height 60000\n"
                        "static char x_bits[] = { 0x00, 0xff };\n")},
  };
  const long before = PeakRssKiB();
  for (const Case& c : cases) {
    ShowGoodPicture();
    Write(c.name, c.bytes);
    Choose(Path(c.name));
    EXPECT_TRUE(BoxEmpty()) << c.name;
  }
  // None of the claimed sizes was allocated (the smallest claim is 3.6 GB).
  EXPECT_LT(PeakRssKiB() - before, 256 * 1024);
}

// A JPEG cut inside its image data still decodes: the decoder fills what is
// missing, as viewers do, and the picture shows at its full size.
TEST_F(HostilePicture, JpegCutInsideItsDataShowsWhatArrived) {
  Write("cut.jpg", Cut(Encoded(Noise(400, 300), "JPEG", 95), 0.6));
  Choose(Path("cut.jpg"));
  EXPECT_FALSE(BoxEmpty());
}

TEST_F(HostilePicture, ThingsThatAreNotFilesLeaveTheBoxEmpty) {
  ASSERT_TRUE(QDir(dir_.path()).mkdir(QStringLiteral("folder.jpg")));
  ASSERT_EQ(::mkfifo(Path("pipe.jpg").toLocal8Bit().constData(), 0600), 0);
  ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), Path("zero.jpg")));
  ASSERT_TRUE(QFile::link(Path("loop-a.jpg"), Path("loop-b.jpg")));
  ASSERT_TRUE(QFile::link(Path("loop-b.jpg"), Path("loop-a.jpg")));
  // A pipe nobody writes to would block a plain open forever.
  for (const char* name : {"folder.jpg", "pipe.jpg", "zero.jpg", "loop-a.jpg", "missing.jpg"}) {
    ShowGoodPicture();
    Choose(Path(name));
    EXPECT_TRUE(BoxEmpty()) << name;
  }
}

TEST_F(HostilePicture, UnreadableFileLeavesTheBoxEmpty) {
  if (::geteuid() == 0) GTEST_SKIP() << "root reads every file whatever its mode";
  Write("secret.png", Encoded(Noise(40, 30), "PNG"));
  ASSERT_TRUE(QFile::setPermissions(Path("secret.png"), QFileDevice::Permissions()));
  ShowGoodPicture();
  Choose(Path("secret.png"));
  EXPECT_TRUE(BoxEmpty());
}

// Root reads past any file mode, but not this: it opens as a regular file
// and every read of it fails.
TEST_F(HostilePicture, FileWhoseReadsFailLeavesTheBoxEmpty) {
  ShowGoodPicture();
  Choose(QStringLiteral("/proc/self/mem"));
  EXPECT_TRUE(BoxEmpty());
}

// Over 256 MiB the file is not read at all: a sparse file costs no disk,
// and reading it would cost its whole size in memory.
TEST_F(HostilePicture, FileOverTheSizeLimitIsNotRead) {
  Write("huge.png", Encoded(Noise(40, 30), "PNG"));
  QFile huge(Path("huge.png"));
  ASSERT_TRUE(huge.resize(qint64{300} * 1024 * 1024));
  ShowGoodPicture();
  const long before = PeakRssKiB();
  Choose(Path("huge.png"));
  EXPECT_TRUE(BoxEmpty());
  EXPECT_LT(PeakRssKiB() - before, 64 * 1024);
}

}  // namespace
}  // namespace zoq
