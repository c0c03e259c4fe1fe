// Texts, colours and fonts crossing into Qt.

#include <QHash>
#include <QStringList>

#include <climits>

#include "platform/win32.h"
#include "qt.h"
#include "runtime/ui_testing.h"

namespace zoq::ui {

QString ToQString(const Text& text) {
  if (text.empty() || text.size() > static_cast<std::size_t>(INT_MAX)) return {};
  const int length = static_cast<int>(text.size());
  const int wide = MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
  if (wide <= 0) return {};
  QString out(wide, Qt::Uninitialized);
  const int written = MultiByteToWideChar(CP_ACP, 0, text.data(), length,
                                          reinterpret_cast<WCHAR*>(out.data()), wide);
  out.truncate(written > 0 ? written : 0);
  return out;
}

Text FromQString(const QString& text) {
  // A text cannot hold a zero byte: it ends where a U+0000 stands.
  const qsizetype nul = text.indexOf(QChar(u'\0'));
  const qsizetype length = nul < 0 ? text.size() : nul;
  if (length == 0 || length > INT_MAX / 2) return {};
  const auto* wide = reinterpret_cast<const WCHAR*>(text.utf16());
  const int size = WideCharToMultiByte(CP_ACP, 0, wide, static_cast<int>(length), nullptr, 0,
                                       nullptr, nullptr);
  if (size <= 0) return {};
  Text out(static_cast<std::size_t>(size), '\0');
  const int written = WideCharToMultiByte(CP_ACP, 0, wide, static_cast<int>(length), out.data(),
                                          size, nullptr, nullptr);
  out.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
  return out;
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

namespace {
QHash<QByteArray, QString>& ChosenPaths() {
  static QHash<QByteArray, QString> paths;
  return paths;
}
}  // namespace

void RememberChosenPath(const Text& text, const QString& path) {
  auto& paths = ChosenPaths();
  if (paths.size() > 64) paths.clear();  // only the recent choices matter
  paths.insert(QByteArray(text.data(), static_cast<qsizetype>(text.size())), path);
}

QString PathFromText(const Text& text) {
  const auto& paths = ChosenPaths();
  const auto it = paths.find(QByteArray(text.data(), static_cast<qsizetype>(text.size())));
  return it != paths.end() ? *it : ToQString(text);
}

}  // namespace zoq::ui

namespace zoq::ui::testing {

Text Gbk(const char16_t* text) { return FromQString(QString::fromUtf16(text)); }
std::u16string Utf16(const Text& text) { return ToQString(text).toStdU16String(); }

}  // namespace zoq::ui::testing
