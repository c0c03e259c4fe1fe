// Windows built from layouts: one Qt widget per control, found by the
// control's layout name, with the properties the handlers read and write.

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QIcon>
#include <QImageReader>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>

#include <map>
#include <optional>

#include "controls_qt.h"
#include "look.h"
#include "qt.h"
#include "runtime/ui_testing.h"
#include "tab_order.h"
#include "window_base.h"

namespace zoq::ui {
namespace {


// What a control has of Qt: its widget (none for timers and common dialogs)
// or its timer, and what its edit box was last given.
struct QtControl {
  QWidget* widget = nullptr;
  QTimer* timer = nullptr;
  QString pushed;
  bool widgetStale = false;
};

QImage LoadPicture(const Text& name) {
  if (name.empty()) return {};
  const QString path = PicturePath(name);
  // The name's suffix tells the format: probing the bytes instead loads
  // every image plugin, each with its library.
  QImageReader reader(path, QFileInfo(path).suffix().toLatin1());
  reader.setAutoDetectImageFormat(false);
  return reader.read();
}

// A window's icon: the picture's sizes up to 48 pixels, the ones window
// managers show. The 256-pixel size (the desktop themes have it as a file of
// their own) would cost a quarter of a megabyte decoded and twice more while
// it is handed to the X server. Made once per picture and shared.
QIcon WindowIcon(const Text& name) {
  // Never destroyed: pixmaps must not outlive the application object.
  static auto* icons = new std::map<Text, QIcon>;
  auto [it, made] = icons->try_emplace(name);
  if (!made) return it->second;
  constexpr int kLargest = 48;
  QImageReader reader(PicturePath(name));
  do {
    // The size comes from the file's directory: a size left out is never decoded.
    if (const QSize size = reader.size(); size.isValid() && size.width() > kLargest) continue;
    if (const QImage image = reader.read(); !image.isNull() && image.width() <= kLargest)
      it->second.addPixmap(QPixmap::fromImage(image));
  } while (reader.jumpToNextImage());
  // A picture with only larger sizes is shown as it is.
  if (it->second.isNull()) it->second = QIcon(PicturePath(name));
  return it->second;
}

class FormWindow final : public QWidget, public WindowControls<QtControl> {
 public:
  explicit FormWindow(const FormSpec& form, QWidget* owner)
      : QWidget(owner, owner ? Qt::Window | Qt::Dialog : Qt::Window), WindowControls(form) {
    setWindowTitle(ToQString(form.title));
    setFont(DefaultFont());
    if (!form.icon.empty()) setWindowIcon(WindowIcon(form.icon));
    if (const QColor back = ToQColor(form.backColour); back.isValid()) {
      QPalette palette = this->palette();
      palette.setColor(QPalette::Window, back);
      setPalette(palette);
      setAutoFillBackground(true);
    }
    // Until a window manager frames the window, the client area takes the
    // whole outer size (see FitFrame).
    resize(std::max(1, form.width), std::max(1, form.height));
    move(form.left, form.top);
    BuildControls();
  }

  void Dispose() override {
    if (!MarkDestroyed()) return;
    hide();
    if (modalLoop_) modalLoop_->quit();
    deleteLater();
  }

  void SetModalLoop(QEventLoop* loop) { modalLoop_ = loop; }

  void BringToFront() override {
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
  }

  // A hidden edit box gets its widget only when asked for it here.
  QWidget* ControlWidget(const Text& name) {
    Control* c = Find(name);
    if (c && !c->widget && c->desc.kind == Kind::EditBox) Place(c->widget = CreateWidget(*c), *c);
    return c ? c->widget : nullptr;
  }

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

  // --- WindowControls ---
  void ShowTitle(const Text& title) override {
    // "[*]" is Qt's placeholder for the modified mark; doubled it shows once.
    QString shown = ToQString(title);
    shown.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
    setWindowTitle(shown);
  }
  std::optional<Text> EditedText(const Control& c) const override;
  void ShowText(Control& c) override;
  void ShowColours(Control& c) override;
  void ShowPicture(Control& c, const Bytes& image) override;
  void StartTimer(Control& c, int milliseconds) override { c.timer->start(milliseconds); }
  void StopTimer(Control& c) override { c.timer->stop(); }
  void ShowPickerColour(Control& c) override {
    if (auto* picker = dynamic_cast<ColourPicker*>(c.widget)) {
      picker->SetColour(ToQColor(c.pickerColour));
    }
  }
  std::optional<Text> RunOpenDialog(const Text& preset) override {
    return ui::RunOpenDialog(isVisible() ? this : nullptr, preset);
  }

 private:
  void BuildControls();
  void Place(QWidget* widget, const Control& c);
  QWidget* CreateWidget(Control& c);  // one function per kind of control:
  QWidget* NewGroupBox(Control& c);
  QWidget* NewPictureBox(Control& c);
  QWidget* NewEditBox(Control& c);
  QWidget* NewLabel(Control& c);
  QWidget* NewButton(Control& c);
  QWidget* NewGraphicButton(Control& c);
  QWidget* NewColourPicker(Control& c);
  void NewTimer(Control& c);
  void PushEditText(Control& c);
  void FitFrame();

  bool frameFitted_ = false;
  QEventLoop* modalLoop_ = nullptr;
};

void FormWindow::BuildControls() {
  // A hidden edit box needs no widget: its text lives in the control, and
  // the widget (a multi-line one pulls in the whole text machinery) would
  // only take memory.
  for (Control& c : controls_) {
    if (c.desc.visible || c.desc.kind != Kind::EditBox) c.widget = CreateWidget(c);
  }
  // Group boxes may come anywhere in the list, so children move in afterwards.
  for (Control& c : controls_) {
    if (c.widget) Place(c.widget, c);
  }
  // Tab follows the layout, whatever the parents and stacking.
  QWidget* previous = nullptr;
  for (std::size_t i : TabStops(form_.controls)) {
    if (QWidget* widget = controls_[i].widget) {
      if (previous) QWidget::setTabOrder(previous, widget);
      previous = widget;
    }
  }
}

void FormWindow::Place(QWidget* widget, const Control& c) {
  const Control* container = c.desc.container.empty() ? nullptr : Find(c.desc.container);
  if (container && container->widget && Carries(container->desc, c.desc)) {
    widget->setParent(container->widget);
  }
  widget->setGeometry(c.desc.left, c.desc.top, std::max(0, c.desc.width),
                      std::max(0, c.desc.height));
  widget->setVisible(c.desc.visible);
  widget->raise();  // list order is stacking order among siblings
  if (!TakesFocus(c.desc)) widget->setFocusPolicy(Qt::NoFocus);
}

QWidget* FormWindow::CreateWidget(Control& c) {
  QWidget* widget = nullptr;
  switch (c.desc.kind) {
    case Kind::GroupBox: widget = NewGroupBox(c); break;
    case Kind::PictureBox: widget = NewPictureBox(c); break;
    case Kind::EditBox: widget = NewEditBox(c); break;
    case Kind::Label: widget = NewLabel(c); break;
    case Kind::Button: widget = NewButton(c); break;
    case Kind::GraphicButton: widget = NewGraphicButton(c); break;
    case Kind::ColourPicker: widget = NewColourPicker(c); break;
    case Kind::Timer: NewTimer(c); return nullptr;
    case Kind::CommonDialog: return nullptr;  // nothing on screen
  }
  c.widget = widget;
  widget->setObjectName(ToQString(c.desc.name));
  widget->setFont(MakeFont(c.desc.font));
  ShowColours(c);
  if (c.desc.kind == Kind::EditBox && c.desc.visible) PushEditText(c);
  return widget;
}

QWidget* FormWindow::NewGroupBox(Control& c) { return new QGroupBox(ToQString(c.text), this); }

QWidget* FormWindow::NewPictureBox(Control& c) {
  auto* box = new PictureBox(this);
  if (!c.desc.picture.empty()) {
    QFile resource(PicturePath(c.desc.picture));
    if (resource.open(QIODevice::ReadOnly)) {
      box->SetEncoded(resource.readAll(), QFileInfo(resource).suffix().toLatin1());
    }
  }
  return box;
}

QWidget* FormWindow::NewEditBox(Control& c) {
  const ControlSpec& desc = c.desc;
  QWidget* widget = nullptr;
  if (desc.multiLine) {
    auto* edit = new QPlainTextEdit(this);
    edit->setFrameShape(desc.border ? QFrame::StyledPanel : QFrame::NoFrame);
    edit->setReadOnly(desc.readOnly);
    widget = edit;
  } else {
    auto* edit = new QLineEdit(this);
    edit->setFrame(desc.border);
    edit->setReadOnly(desc.readOnly);
    edit->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    widget = edit;
  }
  widget->setAccessibleName(ToQString(AccessibleName(desc)));
  if (!desc.visible) {
    c.widgetStale = !c.text.empty();
    widget->installEventFilter(this);  // hands the content over if ever shown
  }
  return widget;
}

QWidget* FormWindow::NewLabel(Control& c) {
  auto* label = new BorderedLabel(this);
  label->setTextFormat(Qt::PlainText);
  label->setWordWrap(true);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  label->setText(ToQString(c.text));
  label->SetBorder(c.desc.border);
  return label;
}

QWidget* FormWindow::NewButton(Control& c) {
  auto* button = new QPushButton(ToQString(c.text), this);
  connect(button, &QPushButton::clicked, this, [&c] { RunHandler(c.click); });
  return button;
}

QWidget* FormWindow::NewGraphicButton(Control& c) {
  const ControlSpec& desc = c.desc;
  auto* button = new QToolButton(this);
  button->setAutoRaise(true);
  button->setToolButtonStyle(Qt::ToolButtonIconOnly);
  const QImage image = LoadPicture(desc.picture);
  if (!image.isNull()) {
    // The button centres its icon: a canvas of the inset's room puts the
    // picture at the inset from the top-left corner.
    const Size room = GraphicButtonRoom({desc.width, desc.height});
    const Size fitted = FittedSize({image.width(), image.height()}, room);
    const QSize inner(room.width, room.height);
    QImage canvas(inner, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRect(0, 0, fitted.width, fitted.height), image);
    painter.end();
    button->setIcon(QIcon(QPixmap::fromImage(canvas)));
    button->setIconSize(inner);
  }
  button->setAccessibleName(ToQString(AccessibleName(desc)));
  connect(button, &QToolButton::clicked, this, [&c] { RunHandler(c.click); });
  return button;
}

QWidget* FormWindow::NewColourPicker(Control& c) {
  auto* picker = new ColourPicker(this);
  picker->onChosen = [&c](const QColor& chosen) { c.pickerColour = FromQColor(chosen); };
  picker->setAccessibleName(ToQString(AccessibleName(c.desc)));
  return picker;
}

void FormWindow::NewTimer(Control& c) {
  c.timer = new QTimer(this);
  c.timer->setTimerType(Qt::PreciseTimer);
  connect(c.timer, &QTimer::timeout, this, [&c] { RunHandler(c.tick); });
}

void FormWindow::ShowColours(Control& c) {
  QWidget* widget = c.widget;
  if (!widget) return;
  // Every role is set, from the style's defaults for this kind of widget,
  // so a control never takes its container's colours.
  QPalette palette = QApplication::palette(widget);
  const QColor text = ToQColor(c.textColour);
  const QColor back = ToQColor(c.backColour);
  bool fill = false;
  switch (c.desc.kind) {
    case Kind::GroupBox:
    case Kind::Label:
      if (text.isValid()) palette.setColor(QPalette::WindowText, text);
      if (back.isValid()) palette.setColor(QPalette::Window, back);
      fill = back.isValid();
      if (auto* label = dynamic_cast<BorderedLabel*>(widget)) {
        label->SetBorderColour(ToQColor(LabelBorderColour(c.textColour)));
      }
      break;
    case Kind::PictureBox:
      if (back.isValid()) palette.setColor(QPalette::Window, back);
      fill = true;
      break;
    case Kind::EditBox:
      if (text.isValid()) palette.setColor(QPalette::Text, text);
      if (back.isValid()) {
        palette.setColor(QPalette::Base, back);
        palette.setColor(QPalette::Window, back);
      }
      break;
    case Kind::Button:
      if (text.isValid()) palette.setColor(QPalette::ButtonText, text);
      if (back.isValid()) palette.setColor(QPalette::Button, back);
      break;
    case Kind::GraphicButton:
      if (back.isValid()) {
        palette.setColor(QPalette::Button, back);
        palette.setColor(QPalette::Window, back);
      }
      fill = back.isValid();
      break;
    case Kind::ColourPicker:
    case Kind::Timer:
    case Kind::CommonDialog:
      break;
  }
  palette.setResolveMask(~QPalette::ResolveMask(0));
  widget->setPalette(palette);
  widget->setAutoFillBackground(fill);
  widget->update();
}

std::optional<Text> FormWindow::EditedText(const Control& c) const {
  if (c.widgetStale || !c.widget) return std::nullopt;
  QString now;
  if (auto* line = qobject_cast<QLineEdit*>(c.widget)) {
    now = line->text();
  } else if (auto* plain = qobject_cast<QPlainTextEdit*>(c.widget)) {
    now = plain->toPlainText();
  }
  if (now == c.pushed) return std::nullopt;
  return FromQString(now);
}

void FormWindow::ShowText(Control& c) {
  switch (c.desc.kind) {
    case Kind::EditBox:
      if (c.widget && c.widget->isVisibleTo(this)) {
        PushEditText(c);
      } else {
        c.widgetStale = true;
      }
      break;
    case Kind::Label:
      static_cast<QLabel*>(c.widget)->setText(ToQString(c.text));
      break;
    case Kind::GroupBox:
      static_cast<QGroupBox*>(c.widget)->setTitle(ToQString(c.text));
      break;
    case Kind::Button:
      static_cast<QPushButton*>(c.widget)->setText(ToQString(c.text));
      break;
    default:
      break;
  }
}

void FormWindow::PushEditText(Control& c) {
  c.pushed = ToQString(c.text);
  if (auto* line = qobject_cast<QLineEdit*>(c.widget)) {
    // Longer than a line edit holds: the rest stays in c.text only.
    line->setMaxLength(std::max(line->maxLength(), static_cast<int>(c.pushed.size())));
    line->setText(c.pushed);
  } else if (auto* plain = qobject_cast<QPlainTextEdit*>(c.widget)) {
    plain->setPlainText(c.pushed);
  }
  c.widgetStale = false;
}

bool FormWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Show) {
    for (Control& c : controls_) {
      if (c.widget == watched && c.widgetStale) PushEditText(c);
    }
  }
  return QWidget::eventFilter(watched, event);
}

void FormWindow::ShowPicture(Control& c, const Bytes& image) {
  auto* box = dynamic_cast<PictureBox*>(c.widget);
  if (!box) return;
  const auto size = std::min<std::size_t>(image.size(), static_cast<std::size_t>(INT_MAX));
  box->SetEncoded(QByteArray(reinterpret_cast<const char*>(image.data()),
                             static_cast<qsizetype>(size)));
}

void FormWindow::closeEvent(QCloseEvent* event) {
  event->accept();
  Close();
}

bool FormWindow::event(QEvent* event) {
  const bool handled = QWidget::event(event);
  switch (event->type()) {
    case QEvent::Show:
      // The first tab stop has the focus when the window first shows.
      if (!focusWidget()) {
        const std::size_t first = NextTabStop(form_.controls, kNoControl, true);
        if (first != kNoControl && controls_[first].widget) {
          controls_[first].widget->setFocus(Qt::OtherFocusReason);  // selects nothing
        }
      }
      FitFrame();
      break;
    case QEvent::Move:
    case QEvent::Resize:
      FitFrame();
      break;
    default:
      break;
  }
  return handled;
}

// Once a window manager has framed the window, the client area shrinks by
// the frame so that the outer size is the layout's.
void FormWindow::FitFrame() {
  if (frameFitted_ || !isVisible()) return;
  const QSize frame = frameGeometry().size() - geometry().size();
  if (frame.width() <= 0 && frame.height() <= 0) return;
  frameFitted_ = true;
  resize(std::max(1, form_.width - frame.width()), std::max(1, form_.height - frame.height()));
}

FormWindow* Build(const FormSpec& form, const Binder& bind, QWidget* owner) {
  if (ProgramEnding()) return nullptr;
  auto* window = new FormWindow(form, owner);
  return window->Create(bind, false) ? window : nullptr;
}

}  // namespace


QString PicturePath(const Text& name) {
  // The prefix under which zoq_embed_pictures puts them.
  return QStringLiteral(":/forms/") +
         QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
}


Window* CreateStartupWindow(const FormSpec& form, const Binder& bind) {
  if (ProgramEnding()) return nullptr;
  // The start-up window's icon is the program's: message boxes show it too.
  if (!form.icon.empty()) QApplication::setWindowIcon(WindowIcon(form.icon));
  auto* window = new FormWindow(form, nullptr);
  if (!window->Create(bind, true)) return nullptr;
  window->show();
  return window;
}

Window* LoadWindow(const FormSpec& form, const Binder& bind, Window* owner, bool modal) {
  FormWindow* window = Build(form, bind, dynamic_cast<FormWindow*>(owner));
  if (!window) return nullptr;
  if (!modal) {
    window->show();
    return window;
  }
  window->setWindowModality(Qt::ApplicationModal);
  QPointer<FormWindow> guard(window);
  // Runs until the window is closed or destroyed, or the program ends.
  QEventLoop loop;
  window->SetModalLoop(&loop);
  window->show();
  loop.exec();
  if (guard) guard->SetModalLoop(nullptr);
  return guard && !guard->Destroyed() ? guard.data() : nullptr;
}

void HandlersDone() {}  // a destroyed window is freed by Qt's deferred deletion

}  // namespace zoq::ui

namespace zoq::testing {

using ui::FormWindow;

QWidget* TopLevel(const ui::Window& window) {
  return const_cast<FormWindow*>(dynamic_cast<const FormWindow*>(&window));
}

QWidget* Widget(const ui::Window& window, const Text& control) {
  auto* form = const_cast<FormWindow*>(dynamic_cast<const FormWindow*>(&window));
  return form ? form->ControlWidget(control) : nullptr;
}

}  // namespace zoq::testing
