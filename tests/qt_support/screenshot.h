#pragma once
// Pictures of widgets as the tests leave them, for a person to look at.

#include <QString>

class QWidget;

namespace korvel::test {

// Saves `widget` as build/screenshots/<name>.png (beside build/bin), or
// <name>-<platform>.png on a platform other than offscreen, with -<look>
// added under KORVEL_TEST_LOOK, and returns the path; an empty path when
// the picture could not be written.
QString SaveScreenshot(QWidget& widget, const QString& name);

}  // namespace korvel::test
