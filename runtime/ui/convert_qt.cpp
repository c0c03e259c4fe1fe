// Texts, colours and fonts crossing into Qt.

#include <QStringList>

#include "convert.h"
#include "qt.h"

namespace zoq::ui {

QString ToQString(const Text& text) {
  const WideText wide = Wide(text);
  return QString::fromStdU16String(wide);
}

Text FromQString(const QString& text) {
  return Narrow(reinterpret_cast<const char16_t*>(text.utf16()),
                static_cast<std::size_t>(text.size()));
}

QColor ToQColor(Colour colour) {
  if (colour & 0xFF000000u) return {};
  return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                static_cast<int>((colour >> 16) & 0xFF));
}

Colour FromQColor(const QColor& colour) {
  if (!colour.isValid()) return kDefaultColour;
  const QColor rgb = colour.toRgb();
  return static_cast<Colour>(rgb.red()) | static_cast<Colour>(rgb.green()) << 8 |
         static_cast<Colour>(rgb.blue()) << 16;
}

namespace {

// The face, the installed faces that stand in for it, then the Song face
// with the Simplified forms: characters the face lacks come from there,
// never from whatever the system would pick for Han text.
QStringList FaceFamilies(const QString& face) {
  QStringList families{face};
  families += QFont::substitutes(face);
  families += QStringLiteral("AR PL UMing CN");
  families.removeDuplicates();
  return families;
}

}  // namespace

QFont DefaultFont() {
  // The program's default font is a Song face at a 12-pixel character height.
  QFont font;
  font.setFamilies(FaceFamilies(QStringLiteral("宋体")));
  font.setPixelSize(12);
  font.setWeight(QFont::Normal);
  font.setResolveMask(QFont::AllPropertiesResolved);
  return font;
}

QFont MakeFont(const Font& desc) {
  if (desc.face.empty()) return DefaultFont();
  QFont font;
  font.setFamilies(FaceFamilies(ToQString(desc.face)));
  font.setPixelSize(desc.height > 0 ? desc.height : 12);
  const int weight = desc.weight <= 0 ? 400 : std::min(desc.weight, 1000);
  font.setWeight(static_cast<QFont::Weight>(weight));
  // Every property counts as set, so nothing leaks in from the container.
  font.setResolveMask(QFont::AllPropertiesResolved);
  return font;
}

}  // namespace zoq::ui
