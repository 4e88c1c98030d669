// The operator's texts keep to their buffers by characters, never cutting one.
#include <gtest/gtest.h>

#include "engine/conversion_commands.h"
#include "platform/text1251.h"

namespace korvel {
namespace {

TEST(OperatorTexts, KeepWithinTheirLengthByCharacters) {
  std::string long_error;
  for (int i = 0; i < 150; ++i) long_error += "Ж日";  // two and three bytes, 300 characters
  const std::string cut = ErrorTextForOperator(long_error);
  EXPECT_EQ(Utf8CharacterCount(cut), 255u);
  EXPECT_TRUE(IsValidUtf8(cut));
  EXPECT_TRUE(long_error.starts_with(cut));
  EXPECT_EQ(ErrorTextForOperator("short"), "short");

  // A long value loses its beginning to "...", the whole text keeps to the limit.
  const std::string path = "/data/" + std::string(200, 'p') + "/日本.raw";
  const std::string text = FormatWithin(127, "Ошибка конверсии файла '%s'", path);
  EXPECT_EQ(Utf8CharacterCount(text), 127u);
  EXPECT_TRUE(text.starts_with("Ошибка конверсии файла '..."));
  EXPECT_TRUE(text.ends_with("/日本.raw'"));
  EXPECT_EQ(FormatWithin(127, "Ошибка конверсии файла '%s'", "/a.raw"), "Ошибка конверсии файла '/a.raw'");
}

}  // namespace
}  // namespace korvel
