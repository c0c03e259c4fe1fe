// How controls look where the layouts leave it open: decisions every
// backend shares, so that each only turns them into its toolkit's calls.
#pragma once

#include "runtime/ui.h"

namespace zoq::ui {

// A framed label's single line takes the label's text colour, so it shows
// wherever the text does: a black line would vanish on a black background
// (the settings window's sheet). Black for the default text colour.
Colour LabelFrameColour(Colour textColour);

}  // namespace zoq::ui
