// Internal to the Qt backend: the widgets behind the control kinds that Qt has
// no ready-made widget for.
#pragma once

#include <QColor>
#include <QImage>
#include <QLabel>
#include <QToolButton>

#include <functional>

class QMenu;
class QStyle;

namespace zoq::ui {

// The application's style: the platform's, except that a group box's line
// is a plain etched line with nothing laid over its background colour, and
// dialog buttons carry text only (no theme icons to look up before the
// first message box can show).
QStyle* MakeApplicationStyle();

// A label whose optional border is one line (see LabelBorderColour), drawn
// around the text that QLabel itself lays out and paints.
class BorderedLabel : public QLabel {
 public:
  explicit BorderedLabel(QWidget* parent);
  void SetBorder(bool border);
  bool HasBorder() const { return border_; }
  void SetBorderColour(const QColor& colour);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  bool border_ = false;
  QColor borderColour_{Qt::black};
};

// Shows one picture centred, scaled down when it does not fit. Bytes that
// do not decode leave the box showing only its background. A box not yet
// on screen decodes its picture when it first shows, so a window built
// before it is shown costs no decoding until then.
class PictureBox : public QLabel {
 public:
  explicit PictureBox(QWidget* parent);
  // `format` ("png", "jpg"), when known, is the only one tried: probing the
  // bytes loads every image plugin, each with its library.
  void SetEncoded(const QByteArray& encoded, const QByteArray& format = {});
  // The picture the bytes decode to; null when they do not.
  QImage Decoded() const;

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Refresh();
  QByteArray encoded_;
  QByteArray format_;
  QSize shownFor_;  // the room in device pixels the shown copy was made for
};

// A compact button showing its current colour as a swatch; its menu offers
// the common colours (kCommonColours) and the full colour dialog.
class ColourPicker : public QToolButton {
 public:
  explicit ColourPicker(QWidget* parent);
  QColor Colour() const { return colour_; }
  void SetColour(const QColor& colour);
  // Called after the user chose a colour.
  std::function<void(const QColor&)> onChosen;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void BuildMenu();
  void Choose(const QColor& colour);
  void ChooseOther();
  void RefreshSwatch();
  QColor colour_{Qt::black};
  QMenu* menu_ = nullptr;
};

}  // namespace zoq::ui
