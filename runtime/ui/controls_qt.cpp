// The picture box, the bordered label and the colour picker.

#include "controls_qt.h"

#include <QBuffer>
#include <QColorDialog>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QImageReader>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QProxyStyle>
#include <QStyleOption>
#include <QWidgetAction>

#include "look.h"
#include "qt.h"

namespace zoq::ui {

namespace {

// The platform style may shade a group box's inside (Fusion lays a
// translucent panel over it); a group box's background colour must show as set.
class ApplicationStyle final : public QProxyStyle {
 public:
  void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
    if (element != PE_FrameGroupBox) {
      QProxyStyle::drawPrimitive(element, option, painter, widget);
      return;
    }
    // An etched line, its top through the middle of the caption.
    const auto* box = qobject_cast<const QGroupBox*>(widget);
    const int top = box && !box->title().isEmpty() ? option->fontMetrics.height() / 2 : 0;
    const QRect line = option->rect.adjusted(0, top, -1, -1);
    painter->save();
    painter->setBrush(Qt::NoBrush);
    painter->setPen(option->palette.color(QPalette::Mid));
    painter->drawRect(line.adjusted(0, 0, -1, -1));
    painter->setPen(option->palette.color(QPalette::Light));
    painter->drawRect(line.adjusted(1, 1, 0, 0));
    painter->restore();
  }

  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* returned) const override {
    if (hint == SH_DialogButtonBox_ButtonsHaveIcons) return 0;
    return QProxyStyle::styleHint(hint, option, widget, returned);
  }
};

}  // namespace

QStyle* MakeApplicationStyle() { return new ApplicationStyle; }

// --- BorderedLabel ---

BorderedLabel::BorderedLabel(QWidget* parent) : QLabel(parent) {}

void BorderedLabel::SetBorder(bool border) {
  border_ = border;
  // Keeps the text clear of the line.
  setContentsMargins(border ? QMargins(1, 1, 1, 1) : QMargins());
  update();
}

void BorderedLabel::SetBorderColour(const QColor& colour) {
  borderColour_ = colour;
  update();
}

void BorderedLabel::paintEvent(QPaintEvent* event) {
  QLabel::paintEvent(event);
  if (!border_) return;
  QPainter painter(this);
  painter.setPen(QPen(borderColour_, 1));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

// --- PictureBox ---

PictureBox::PictureBox(QWidget* parent) : QLabel(parent) {
  setAlignment(Qt::AlignCenter);
  setAutoFillBackground(true);
}

void PictureBox::SetEncoded(const QByteArray& encoded, const QByteArray& format) {
  encoded_ = encoded;
  format_ = format;
  shownFor_ = QSize();
  clear();
  if (isVisible()) Refresh();
}

QImage PictureBox::Decoded() const {
  // Qt's allocation limit stays in force: a small file declaring a huge
  // image is refused instead of filling the memory.
  QByteArray bytes = encoded_;
  QBuffer buffer(&bytes);
  QImageReader reader(&buffer, format_);
  reader.setAutoDetectImageFormat(format_.isEmpty());
  return reader.read();
}

void PictureBox::showEvent(QShowEvent* event) {
  QLabel::showEvent(event);
  Refresh();
}

void PictureBox::resizeEvent(QResizeEvent* event) {
  QLabel::resizeEvent(event);
  if (isVisible()) Refresh();
}

void PictureBox::Refresh() {
  const qreal ratio = devicePixelRatioF();
  const QSize room = size() * ratio;
  if (encoded_.isEmpty() || room == shownFor_) return;
  shownFor_ = room;
  // Only the display-size copy stays: the decoded picture is made again
  // from its few encoded bytes on the rare resize.
  QImage image = Decoded();
  if (image.isNull()) {
    encoded_.clear();  // bytes that do not decode are not tried again
    clear();
    return;
  }
  const Size fit = FittedSize({image.width(), image.height()}, {width(), height()});
  const QSize fitted(fit.width, fit.height);
  if (fitted.isEmpty()) {
    clear();
    return;
  }
  // Scaled in device pixels, so a high-dpi screen gets a sharp picture.
  if (fitted != image.size() || ratio != 1.0) {
    image = image.scaled(fitted * ratio, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  }
  // Handed over, not copied.
  QPixmap pixmap = QPixmap::fromImage(std::move(image));
  pixmap.setDevicePixelRatio(ratio);
  setPixmap(pixmap);
}

// --- ColourPicker ---

ColourPicker::ColourPicker(QWidget* parent) : QToolButton(parent) {
  setFocusPolicy(Qt::StrongFocus);
  setToolButtonStyle(Qt::ToolButtonIconOnly);
  setPopupMode(QToolButton::InstantPopup);
  BuildMenu();
  RefreshSwatch();
}

void ColourPicker::BuildMenu() {
  menu_ = new QMenu(this);
  auto* grid = new QWidget(menu_);
  auto* layout = new QGridLayout(grid);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->setSpacing(2);
  int i = 0;
  for (const NamedColour& named : kCommonColours) {
    const QColor colour = ToQColor(named.colour);
    auto* swatch = new QToolButton(grid);
    QPixmap fill(16, 16);
    fill.fill(colour);
    swatch->setIcon(QIcon(fill));
    swatch->setAutoRaise(true);
    const QString name = QString::fromUtf16(named.name);
    swatch->setToolTip(name);
    swatch->setAccessibleName(name);
    connect(swatch, &QToolButton::clicked, this, [this, colour] {
      menu_->close();
      Choose(colour);
    });
    layout->addWidget(swatch, i / 8, i % 8);
    ++i;
  }
  auto* gridAction = new QWidgetAction(menu_);
  gridAction->setDefaultWidget(grid);
  menu_->addAction(gridAction);
  menu_->addSeparator();
  menu_->addAction(QStringLiteral("其他颜色..."), this, [this] { ChooseOther(); });
  setMenu(menu_);
}

void ColourPicker::Choose(const QColor& colour) {
  SetColour(colour);
  if (onChosen) onChosen(colour_);
}

void ColourPicker::ChooseOther() {
  const QColor chosen = QColorDialog::getColor(colour_, window());
  if (chosen.isValid()) Choose(chosen);
}

void ColourPicker::SetColour(const QColor& colour) {
  if (!colour.isValid()) return;
  colour_ = colour.toRgb();
  colour_.setAlpha(255);
  RefreshSwatch();
}

void ColourPicker::resizeEvent(QResizeEvent* event) {
  QToolButton::resizeEvent(event);
  RefreshSwatch();
}

void ColourPicker::RefreshSwatch() {
  // The swatch fills the button but for its edge and the menu arrow.
  const QSize swatch(std::max(8, width() - 24), std::max(6, height() - 10));
  QPixmap fill(swatch * devicePixelRatioF());
  fill.setDevicePixelRatio(devicePixelRatioF());
  fill.fill(colour_);
  {
    QPainter painter(&fill);
    painter.setPen(QPen(Qt::darkGray, 0));
    painter.drawRect(QRectF(QPointF(0, 0), QSizeF(swatch)).adjusted(0, 0, -1, -1));
  }
  setIconSize(swatch);
  setIcon(QIcon(fill));
  setAccessibleDescription(colour_.name());
  setToolTip(colour_.name());
}

}  // namespace zoq::ui
