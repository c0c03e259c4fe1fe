// How controls look where the layouts leave it open, alike on every backend.

#include <gtest/gtest.h>

#include "look.h"

// Controls name only the fields that differ from the defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace zoq::ui {
namespace {

TEST(Look, PicturesFitTheirBoxKeepingTheirProportions) {
  // A picture that fits keeps its size; a larger one shrinks to the side
  // that limits, the other side rounded to the nearest pixel.
  EXPECT_EQ(FittedSize({100, 50}, {320, 288}), (Size{100, 50}));
  EXPECT_EQ(FittedSize({312, 313}, {320, 288}), (Size{287, 288}));
  EXPECT_EQ(FittedSize({300, 200}, {100, 100}), (Size{100, 67}));
  EXPECT_EQ(FittedSize({200, 300}, {100, 100}), (Size{67, 100}));
  EXPECT_EQ(FittedSize({100000, 1}, {50, 50}), (Size{50, 1}));  // never below a pixel
  EXPECT_EQ(FittedSize({0, 10}, {50, 50}), (Size{}));
  EXPECT_EQ(FittedSize({10, 10}, {50, -1}), (Size{}));
  // A graphic button's picture fits inside the inset on every side.
  EXPECT_EQ(GraphicButtonRoom({72, 48}), (Size{72 - 2 * kGraphicButtonInset, 44}));
  EXPECT_EQ(GraphicButtonRoom({3, 0}), (Size{1, 1}));
}

TEST(Look, NamesForScreenReadersAndWhatCarriesControls) {
  ControlSpec box{.name = "box", .kind = Kind::GroupBox};
  ControlSpec label{.name = "label", .kind = Kind::Label, .container = "box"};
  ControlSpec inLabel{.name = "x", .kind = Kind::EditBox, .container = "label"};
  ControlSpec self{.name = "box2", .kind = Kind::GroupBox, .container = "box2"};
  EXPECT_TRUE(Carries(box, label));
  EXPECT_FALSE(Carries(label, inLabel));  // only a group box carries controls
  EXPECT_FALSE(Carries(self, self));
  EXPECT_FALSE(Carries(box, inLabel));
  EXPECT_EQ(AccessibleName(inLabel), "x");
  inLabel.accessibleName = "note";
  EXPECT_EQ(AccessibleName(inLabel), "note");
}

}  // namespace
}  // namespace zoq::ui
