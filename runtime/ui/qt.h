// Internal to the Qt backend: the crossing between the program's
// code-page 936 texts and colours and Qt's strings, colours and fonts.
#pragma once

#include <QColor>
#include <QFont>
#include <QString>

#include <memory>
#include <optional>

#include "platform/wait.h"
#include "runtime/ui.h"
#include "window_base.h"  // the program's end, the open windows

class QWidget;

namespace zoq::ui {

// Code page 936 <-> UTF-16 (see convert.h).
QString ToQString(const Text& text);
Text FromQString(const QString& text);

// A colour value with a high byte of 0 as a QColor; an invalid QColor (the
// element's default) for kDefaultColour and every other value with a high byte.
QColor ToQColor(Colour colour);
Colour FromQColor(const QColor& colour);

// The font a control gets; an empty face gives the default font, never the
// container's.
QFont MakeFont(const Font& font);
QFont DefaultFont();

// A waiter that sleeps in this thread's Qt event dispatcher (the one the
// application registers with the platform layer).
std::unique_ptr<platform::MessageWaiter> MakeDispatcherWaiter();

// Where the embedded picture of that name lies among Qt's resources.
QString PicturePath(const Text& name);

// The open-file dialog starting in the folder `preset` names; the chosen
// file's full path, or nothing when the user cancelled.
std::optional<Text> RunOpenDialog(QWidget* parent, const Text& preset);

// The box PrepareMessage made and no ShowMessage took, gone.
void DiscardPreparedMessage();

}  // namespace zoq::ui
