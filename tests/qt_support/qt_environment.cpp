// One QApplication for a whole widget test program, on the offscreen platform
// unless QT_QPA_PLATFORM names another, in Russian as the program runs.
#include <gtest/gtest.h>

#include <QApplication>
#include <memory>

#include "controls/russian_translation.h"

namespace {

class QtEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    static int argc = 1;
    static char name[] = "korvel-widget-tests";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    m_app = std::make_unique<QApplication>(argc, argv);
    korvel::InstallRussianTranslation(*m_app);
  }
  void TearDown() override { m_app.reset(); }

 private:
  std::unique_ptr<QApplication> m_app;
};

[[maybe_unused]] const auto* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace
