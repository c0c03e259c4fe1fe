#include "look.h"

namespace zoq::ui {

Colour LabelFrameColour(Colour textColour) {
  return textColour == kDefaultColour ? Colour{0} : textColour;
}

}  // namespace zoq::ui
