// One QApplication for a whole widget test program, in Russian as the program
// runs: on Linux on the offscreen platform unless QT_QPA_PLATFORM names
// another; on Windows (and under Wine, which passes no QT_ variables) on
// Windows' own, with its fonts and metrics.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFont>
#include <QPalette>
#include <memory>

#include "controls/russian_translation.h"

namespace {

// A desktop's dark theme, as an operator may have chosen it.
QPalette DarkPalette() {
  QPalette dark;
  const QColor window(0x42, 0x42, 0x45), base(0x2A, 0x2A, 0x2D), text(0xE8, 0xE8, 0xE8);
  dark.setColor(QPalette::Window, window);
  dark.setColor(QPalette::Button, window);
  dark.setColor(QPalette::Base, base);
  dark.setColor(QPalette::AlternateBase, window);
  dark.setColor(QPalette::WindowText, text);
  dark.setColor(QPalette::ButtonText, text);
  dark.setColor(QPalette::Text, text);
  dark.setColor(QPalette::BrightText, Qt::white);
  dark.setColor(QPalette::Light, window.lighter(160));
  dark.setColor(QPalette::Midlight, window.lighter(130));
  dark.setColor(QPalette::Mid, window.darker(130));
  dark.setColor(QPalette::Dark, window.darker(160));
  dark.setColor(QPalette::Shadow, Qt::black);
  dark.setColor(QPalette::Highlight, QColor(0x3D, 0x6F, 0xB0));
  dark.setColor(QPalette::HighlightedText, Qt::white);
  dark.setColor(QPalette::ToolTipBase, base);
  dark.setColor(QPalette::ToolTipText, text);
  return dark;
}

class QtEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    static int argc = 1;
    static char name[] = "korvel-widget-tests";
    static char* argv[] = {name, nullptr};
#ifndef _WIN32
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
#endif
    // The look a run is asked for: KORVEL_TEST_LOOK=dark, scale2 or small.
    const QByteArray look = qgetenv("KORVEL_TEST_LOOK");
    if (look == "scale2") qputenv("QT_SCALE_FACTOR", "2");
    korvel::PreferRussianDates();
    m_app = std::make_unique<QApplication>(argc, argv);
    if (look == "dark") QApplication::setPalette(DarkPalette());
    if (look == "small") {  // a netbook's screen, the desktop's font made large
      QFont large = QApplication::font();
      large.setPointSize(16);
      QApplication::setFont(large);
    }
    korvel::InstallRussianTranslation(*m_app);
  }
  void TearDown() override { m_app.reset(); }

 private:
  std::unique_ptr<QApplication> m_app;
};

[[maybe_unused]] const auto* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace
