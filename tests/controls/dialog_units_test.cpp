#include <gtest/gtest.h>

#include "controls/dialog_units.h"

namespace korvel {
namespace {

TEST(DialogUnits, ScaleByTheFontsBaseUnits) {
  const DialogBaseUnits units{6, 13};
  EXPECT_EQ(DialogRect(units, 261, 18, 84, 20), QRect(391, 29, 126, 32));
  EXPECT_EQ(DialogRect(units, 0, 0, 352, 161), QRect(0, 0, 528, 261));
  const DialogBaseUnits measured = BaseUnitsOf(QFont("DejaVu Sans", 8));
  EXPECT_GT(measured.x, 2);
  EXPECT_GT(measured.y, measured.x);
}

}  // namespace
}  // namespace korvel
