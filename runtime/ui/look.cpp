#include "look.h"

namespace zoq::ui {

bool IsSet(Colour colour) { return (colour & 0xFF000000u) == 0; }

Colour LabelFrameColour(Colour textColour) {
  return textColour == kDefaultColour ? Colour{0} : textColour;
}

}  // namespace zoq::ui
