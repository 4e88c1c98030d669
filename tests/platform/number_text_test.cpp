#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <optional>
#include <string>

#include "platform/number_text.h"

namespace korvel {
namespace {

// The process locale switched to the operators' for one test, and back.
class RussianNumbers {
 public:
  RussianNumbers() : m_saved(std::setlocale(LC_NUMERIC, nullptr)) {
    m_active = std::setlocale(LC_NUMERIC, "ru_RU.UTF-8") != nullptr;
  }
  ~RussianNumbers() { std::setlocale(LC_NUMERIC, m_saved.c_str()); }
  bool Active() const { return m_active; }

 private:
  std::string m_saved;
  bool m_active = false;
};

TEST(NumberText, DotAndDigitsWhateverTheProcessLocale) {
  const RussianNumbers russian;
  if (!russian.Active()) GTEST_SKIP() << "*** no ru_RU.UTF-8 locale here (tools/test makes it) ***";
  // The locale does change printf: what the writers used to follow.
  char comma[32];
  std::snprintf(comma, sizeof comma, "%f", 100.0);
  ASSERT_STREQ(comma, "100,000000");

  const struct {
    double value;
    int decimals;
    const char* text;
  } fixed[] = {
      {100.0, 6, "100.000000"}, {1.0 / 0.006, 6, "166.666667"},       {0.5, 3, "0.500"},
      {-0.0001, 2, "0.00"},     {1e20, 1, "100000000000000000000.0"}, {59.995, 2, "59.99"}};
  for (const auto& c : fixed) EXPECT_EQ(FixedNumber(c.value, c.decimals), c.text) << c.text;

  const struct {
    const char* text;
    std::optional<double> value;
  } parsed[] = {{"100.000000", 100.0},        {"166.666667", 166.666667}, {"-2.5e3", -2500.0},
                {"100,000000", std::nullopt}, {"", std::nullopt},         {"1.0x", std::nullopt},
                {" 1.0", std::nullopt}};
  for (const auto& c : parsed) EXPECT_EQ(ParseNumber(c.text), c.value) << c.text;
}

}  // namespace
}  // namespace korvel
