// Windows built from layouts: one Qt widget per control, found by the
// control's layout name, with the properties the handlers read and write.

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QFile>
#include <QGroupBox>
#include <QIcon>
#include <QImageReader>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPointer>
#include <optional>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>

#include <cstdio>
#include <exception>
#include <map>
#include <vector>

#include "controls_qt.h"
#include "look.h"
#include "qt.h"

namespace zoq::ui {
namespace {


// One control of a window: its layout entry, its widget (none for timers
// and common dialogs) and the properties kept outside the widget.
struct Control {
  ControlSpec desc;
  QWidget* widget = nullptr;
  QTimer* timer = nullptr;
  Colour textColour = kDefaultColour;
  Colour backColour = kDefaultColour;
  // Edit boxes keep their content here: a hidden one never hands it to its
  // widget (no text layout for a page of megabytes), and a visible one
  // gives back the very bytes it was given while the user has not edited.
  Text text;
  QString pushed;
  bool widgetStale = false;
  Text dialogFile;
  Handler click;
  Handler tick;
};

void RunHandler(const Handler& handler) {
  if (!handler) return;
  Handler copy = handler;  // the handler may rebind or destroy its window
  try {
    copy();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "zoq: an event handler failed: %s\n", e.what());
  } catch (...) {
    std::fprintf(stderr, "zoq: an event handler failed\n");
  }
}

QImage LoadPicture(const Text& name) {
  if (name.empty()) return {};
  QImageReader reader(PicturePath(name));
  return reader.read();
}

class FormWindow;
std::vector<FormWindow*>& OpenWindows() {
  static std::vector<FormWindow*> windows;
  return windows;
}
FormWindow* startupWindow = nullptr;

void Forget(FormWindow* window) {
  auto& windows = OpenWindows();
  std::erase(windows, window);
  if (startupWindow == window) startupWindow = nullptr;
}

class FormWindow final : public QWidget, public Window {
 public:
  explicit FormWindow(const FormSpec& form, QWidget* owner)
      : QWidget(owner, owner ? Qt::Window | Qt::Dialog : Qt::Window), form_(form) {
    OpenWindows().push_back(this);
    title_ = form.title;
    setWindowTitle(ToQString(title_));
    setFont(DefaultFont());
    if (!form.icon.empty()) setWindowIcon(QIcon(PicturePath(form.icon)));
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

  ~FormWindow() override { Forget(this); }

  const FormSpec& Form() const { return form_; }
  bool Destroyed() const { return destroyed_; }
  void RunCreated() { RunHandler(created_); }

  // Hides the window and frees it once the event now running has ended.
  void Dispose() {
    if (destroyed_) return;
    destroyed_ = true;
    Forget(this);
    hide();
    if (modalLoop_) modalLoop_->quit();
    deleteLater();
  }

  void SetModalLoop(QEventLoop* loop) { modalLoop_ = loop; }

  // --- Window ---
  void OnCreated(Handler handler) override { created_ = std::move(handler); }
  void OnClick(const Text& name, Handler handler) override {
    if (Control* c = Find(name)) c->click = std::move(handler);
  }
  void OnTick(const Text& name, Handler handler) override {
    if (Control* c = Find(name)) c->tick = std::move(handler);
  }

  Text Title() const override { return title_; }
  void SetTitle(const Text& title) override {
    title_ = title;
    // "[*]" is Qt's placeholder for the modified mark; doubled it shows once.
    QString shown = ToQString(title);
    shown.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
    setWindowTitle(shown);
  }

  Text ControlText(const Text& name) const override;
  void SetControlText(const Text& name, const Text& text) override;
  Colour TextColour(const Text& name) const override {
    const Control* c = Find(name);
    return c ? c->textColour : kDefaultColour;
  }
  void SetTextColour(const Text& name, Colour colour) override {
    if (Control* c = Find(name)) {
      c->textColour = colour;
      ApplyColours(*c);
    }
  }
  Colour BackColour(const Text& name) const override {
    const Control* c = Find(name);
    return c ? c->backColour : kDefaultColour;
  }
  void SetBackColour(const Text& name, Colour colour) override {
    if (Control* c = Find(name)) {
      c->backColour = colour;
      ApplyColours(*c);
    }
  }
  void SetPicture(const Text& name, const Bytes& image) override;
  void SetTimerInterval(const Text& name, int milliseconds) override {
    Control* c = Find(name);
    if (!c || !c->timer) return;
    if (milliseconds <= 0) {
      c->timer->stop();
    } else {
      c->timer->start(milliseconds);
    }
  }
  Colour PickerColour(const Text& name) const override {
    const Control* c = Find(name);
    auto* picker = c ? dynamic_cast<ColourPicker*>(c->widget) : nullptr;
    return picker ? FromQColor(picker->Colour()) : kDefaultColour;
  }
  void SetPickerColour(const Text& name, Colour colour) override {
    const Control* c = Find(name);
    auto* picker = c ? dynamic_cast<ColourPicker*>(c->widget) : nullptr;
    if (picker) picker->SetColour(ToQColor(colour));
  }
  bool ShowOpenDialog(const Text& name) override;
  Text DialogFileName(const Text& name) const override {
    const Control* c = Find(name);
    return c ? c->dialogFile : Text();
  }
  void BringToFront() override {
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
  }
  void Destroy() override { Dispose(); }

  QWidget* ControlWidget(const Text& name) const {
    const Control* c = Find(name);
    return c ? c->widget : nullptr;
  }

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  Control* Find(const Text& name) {
    const auto it = byName_.find(name);
    return it == byName_.end() ? nullptr : &controls_[it->second];
  }
  const Control* Find(const Text& name) const {
    const auto it = byName_.find(name);
    return it == byName_.end() ? nullptr : &controls_[it->second];
  }

  void BuildControls();
  QWidget* CreateWidget(Control& c);
  void ApplyColours(Control& c);
  void PushEditText(Control& c);
  void FitFrame();

  FormSpec form_;
  Text title_;
  std::vector<Control> controls_;
  std::map<Text, std::size_t> byName_;
  Handler created_;
  bool destroyed_ = false;
  bool frameFitted_ = false;
  QEventLoop* modalLoop_ = nullptr;
};

void FormWindow::BuildControls() {
  controls_.reserve(form_.controls.size());
  for (const ControlSpec& desc : form_.controls) {
    Control& c = controls_.emplace_back();
    c.desc = desc;
    c.textColour = desc.textColour;
    c.backColour = desc.backColour;
    c.text = desc.text;
    byName_.emplace(desc.name, controls_.size() - 1);  // the first of a name wins
  }
  for (Control& c : controls_) c.widget = CreateWidget(c);
  // Containers may come anywhere in the list, so children move in afterwards.
  for (Control& c : controls_) {
    if (!c.widget || c.desc.container.empty()) continue;
    const Control* container = Find(c.desc.container);
    if (container && container->widget && container->widget != c.widget) {
      c.widget->setParent(container->widget);
    }
  }
  for (Control& c : controls_) {
    if (!c.widget) continue;
    c.widget->setGeometry(c.desc.left, c.desc.top, std::max(0, c.desc.width),
                          std::max(0, c.desc.height));
    c.widget->setVisible(c.desc.visible);
    c.widget->raise();  // list order is stacking order among siblings
  }
}

QWidget* FormWindow::CreateWidget(Control& c) {
  const ControlSpec& desc = c.desc;
  QWidget* widget = nullptr;
  switch (desc.kind) {
    case Kind::GroupBox: {
      auto* box = new QGroupBox(ToQString(desc.text), this);
      widget = box;
      break;
    }
    case Kind::PictureBox: {
      auto* box = new PictureBox(this);
      if (!desc.picture.empty()) {
        QFile resource(PicturePath(desc.picture));
        if (resource.open(QIODevice::ReadOnly)) box->SetEncoded(resource.readAll());
      }
      widget = box;
      break;
    }
    case Kind::EditBox: {
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
      widget->setAccessibleName(ToQString(desc.accessibleName.empty() ? desc.name
                                                                        : desc.accessibleName));
      if (!desc.visible) {
        c.widgetStale = !c.text.empty();
        widget->installEventFilter(this);  // hands the content over if ever shown
      }
      break;
    }
    case Kind::Label: {
      auto* label = new FramedLabel(this);
      label->setTextFormat(Qt::PlainText);
      label->setWordWrap(true);
      label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      label->setText(ToQString(desc.text));
      label->SetBorder(desc.border);
      widget = label;
      break;
    }
    case Kind::Button: {
      auto* button = new QPushButton(ToQString(desc.text), this);
      connect(button, &QPushButton::clicked, this, [&c] { RunHandler(c.click); });
      widget = button;
      break;
    }
    case Kind::GraphicButton: {
      auto* button = new QToolButton(this);
      button->setAutoRaise(true);
      button->setToolButtonStyle(Qt::ToolButtonIconOnly);
      button->setFocusPolicy(Qt::NoFocus);
      const QImage image = LoadPicture(desc.picture);
      if (!image.isNull()) {
        // The picture sits in the button's top-left corner, scaled down
        // when it does not fit: a button hanging over its container's
        // edge still shows it whole.
        const QSize inner(std::max(1, desc.width - 4), std::max(1, desc.height - 4));
        const QSize fitted = FittedSize(image.size(), inner);
        QImage canvas(inner, QImage::Format_ARGB32_Premultiplied);
        canvas.fill(Qt::transparent);
        QPainter painter(&canvas);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRect(QPoint(0, 0), fitted), image);
        painter.end();
        button->setIcon(QIcon(QPixmap::fromImage(canvas)));
        button->setIconSize(inner);
      }
      button->setAccessibleName(ToQString(desc.accessibleName.empty() ? desc.name
                                                                        : desc.accessibleName));
      connect(button, &QToolButton::clicked, this, [&c] { RunHandler(c.click); });
      widget = button;
      break;
    }
    case Kind::Timer: {
      c.timer = new QTimer(this);
      c.timer->setTimerType(Qt::PreciseTimer);
      connect(c.timer, &QTimer::timeout, this, [&c] { RunHandler(c.tick); });
      return nullptr;
    }
    case Kind::ColourPicker: {
      auto* picker = new ColourPicker(this);
      picker->setAccessibleName(ToQString(desc.accessibleName.empty() ? desc.name
                                                                        : desc.accessibleName));
      widget = picker;
      break;
    }
    case Kind::CommonDialog:
      return nullptr;
  }
  c.widget = widget;
  widget->setObjectName(ToQString(desc.name));
  widget->setFont(MakeFont(desc.font));
  ApplyColours(c);
  if (desc.kind == Kind::EditBox && desc.visible) PushEditText(c);
  return widget;
}

void FormWindow::ApplyColours(Control& c) {
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
      if (auto* label = dynamic_cast<FramedLabel*>(widget)) {
        label->SetBorderColour(ToQColor(LabelFrameColour(c.textColour)));
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

Text FormWindow::ControlText(const Text& name) const {
  const Control* c = Find(name);
  if (!c) return {};
  if (c->desc.kind != Kind::EditBox || c->widgetStale || !c->widget) return c->text;
  QString now;
  if (auto* line = qobject_cast<QLineEdit*>(c->widget)) {
    now = line->text();
  } else if (auto* plain = qobject_cast<QPlainTextEdit*>(c->widget)) {
    now = plain->toPlainText();
  }
  return now == c->pushed ? c->text : FromQString(now);
}

void FormWindow::SetControlText(const Text& name, const Text& text) {
  Control* c = Find(name);
  if (!c) return;
  c->text = text;
  switch (c->desc.kind) {
    case Kind::EditBox:
      if (c->widget && c->widget->isVisibleTo(this)) {
        PushEditText(*c);
      } else {
        c->widgetStale = true;
      }
      break;
    case Kind::Label:
      static_cast<QLabel*>(c->widget)->setText(ToQString(text));
      break;
    case Kind::GroupBox:
      static_cast<QGroupBox*>(c->widget)->setTitle(ToQString(text));
      break;
    case Kind::Button:
      static_cast<QPushButton*>(c->widget)->setText(ToQString(text));
      break;
    default:
      break;  // kept: a common dialog's text is its starting folder
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

void FormWindow::SetPicture(const Text& name, const Bytes& image) {
  Control* c = Find(name);
  auto* box = c ? dynamic_cast<PictureBox*>(c->widget) : nullptr;
  if (!box) return;
  const auto size = std::min<std::size_t>(image.size(), static_cast<std::size_t>(INT_MAX));
  box->SetEncoded(QByteArray(reinterpret_cast<const char*>(image.data()),
                             static_cast<qsizetype>(size)));
}

void FormWindow::closeEvent(QCloseEvent* event) {
  event->accept();
  if (destroyed_ || ProgramEnding()) return;
  if (this == startupWindow) {
    rt::EndProgram();  // closing the main window ends the program
  } else {
    Dispose();
  }
}

bool FormWindow::event(QEvent* event) {
  const bool handled = QWidget::event(event);
  switch (event->type()) {
    case QEvent::Show:
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

bool FormWindow::ShowOpenDialog(const Text& name) {
  Control* c = Find(name);
  if (!c || c->desc.kind != Kind::CommonDialog) return false;
  std::optional<Text> chosen = RunOpenDialog(isVisible() ? this : nullptr, c->text);
  if (!chosen) return false;
  c->dialogFile = std::move(*chosen);
  return true;
}

FormWindow* Build(const FormSpec& form, const Binder& bind, QWidget* owner) {
  if (ProgramEnding()) return nullptr;
  auto* window = new FormWindow(form, owner);
  if (bind) bind(*window);
  window->RunCreated();
  if (window->Destroyed() || ProgramEnding()) return nullptr;
  return window;
}

}  // namespace


void CloseAllWindows() {
  const std::vector<FormWindow*> windows = OpenWindows();
  for (FormWindow* window : windows) window->Dispose();
}

Text StartupTitle() { return startupWindow ? startupWindow->Title() : Text(); }

QString PicturePath(const Text& name) {
  // The prefix under which zoq_embed_pictures puts them.
  return QStringLiteral(":/forms/") +
         QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
}


Window* CreateStartupWindow(const FormSpec& form, const Binder& bind) {
  if (ProgramEnding()) return nullptr;
  // The start-up window's icon is the program's: message boxes show it too.
  if (!form.icon.empty()) QApplication::setWindowIcon(QIcon(PicturePath(form.icon)));
  auto* window = new FormWindow(form, nullptr);
  startupWindow = window;
  if (bind) bind(*window);
  window->RunCreated();
  // A created event that ended the program leaves the window unshown.
  if (window->Destroyed() || ProgramEnding()) return nullptr;
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

Window* WindowNamed(const Text& formName) {
  for (FormWindow* window : OpenWindows()) {
    if (!window->Destroyed() && window->Form().name == formName) return window;
  }
  return nullptr;
}

namespace testing {

QWidget* TopLevel(const Window& window) {
  return const_cast<FormWindow*>(dynamic_cast<const FormWindow*>(&window));
}

QWidget* Widget(const Window& window, const Text& control) {
  const auto* form = dynamic_cast<const FormWindow*>(&window);
  return form ? form->ControlWidget(control) : nullptr;
}

}  // namespace testing
}  // namespace zoq::ui
