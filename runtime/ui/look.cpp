#include "look.h"

#include <algorithm>
#include <cstdint>

namespace zoq::ui {

bool IsSet(Colour colour) { return (colour & 0xFF000000u) == 0; }

Size FittedSize(Size picture, Size box) {
  if (picture.width <= 0 || picture.height <= 0 || box.width <= 0 || box.height <= 0) return {};
  if (picture.width <= box.width && picture.height <= box.height) return picture;
  // The side that limits decides; the other keeps the proportions.
  auto scaled = [](std::int64_t side, std::int64_t to, std::int64_t from) {
    return static_cast<int>(std::max<std::int64_t>(1, (side * to + from / 2) / from));
  };
  if (std::int64_t{picture.width} * box.height > std::int64_t{picture.height} * box.width) {
    return {box.width, scaled(picture.height, box.width, picture.width)};
  }
  return {scaled(picture.width, box.height, picture.height), box.height};
}

Size GraphicButtonRoom(Size button) {
  return {std::max(1, button.width - 2 * kGraphicButtonInset),
          std::max(1, button.height - 2 * kGraphicButtonInset)};
}

const Text& AccessibleName(const ControlSpec& control) {
  return control.accessibleName.empty() ? control.name : control.accessibleName;
}

bool Carries(const ControlSpec& container, const ControlSpec& control) {
  return &container != &control && container.kind == Kind::GroupBox &&
         !control.container.empty() && control.container == container.name;
}

Colour LabelBorderColour(Colour textColour) {
  return textColour == kDefaultColour ? Colour{0} : textColour;
}

}  // namespace zoq::ui
