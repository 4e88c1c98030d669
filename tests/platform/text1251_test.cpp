#include <gtest/gtest.h>

#include "platform/text1251.h"

namespace korvel {
namespace {

TEST(Text1251, UpperCasesAsciiAndEveryCyrillicLetter) {
  EXPECT_EQ(CharUpper1251("kir-n.s 1z"), "KIR-N.S 1Z");
  // а..я (0xE0..0xFF) become А..Я (0xC0..0xDF); ё becomes Ё.
  for (int b = 0xE0; b <= 0xFF; ++b)
    EXPECT_EQ(static_cast<unsigned char>(Upper1251(static_cast<char>(b))), b - 0x20) << b;
  EXPECT_EQ(static_cast<unsigned char>(Upper1251('\xB8')), 0xA8);
  EXPECT_EQ(static_cast<unsigned char>(Upper1251('\xB3')), 0xB2);  // і -> І
  EXPECT_EQ(static_cast<unsigned char>(Upper1251('\xBF')), 0xAF);  // ї -> Ї
  // Upper-case letters, digits and signs are left alone.
  for (int b : {0x41, 0x5A, 0x30, 0x2E, 0xC0, 0xDF, 0xA8, 0xB9, 0xB5})
    EXPECT_EQ(static_cast<unsigned char>(Upper1251(static_cast<char>(b))), b) << b;
  char buffer[] = "kir\xEA\xE8\xF0";  // kirкир
  CharUpperBuff1251(buffer, 4);
  EXPECT_STREQ(buffer, "KIR\xCA\xE8\xF0");  // only the first four bytes
}

TEST(Text1251, ConvertsToAndFromUtf8) {
  EXPECT_EQ(Cp1251ToUtf8("\xCA\xC8\xD0"), "КИР");
  EXPECT_EQ(Utf8ToCp1251("КИР ёЁ №"), "\xCA\xC8\xD0 \xB8\xA8 \xB9");
  // Every byte survives the round trip.
  std::string all;
  for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
  EXPECT_EQ(Utf8ToCp1251(Cp1251ToUtf8(all)), all);
  EXPECT_TRUE(IsValidUtf8(Cp1251ToUtf8(all)));
  // Characters outside the code page become '?'; stray bytes pass unchanged.
  EXPECT_EQ(Utf8ToCp1251("a\xE4\xB8\xADz"), "a?z");  // a中z
  EXPECT_EQ(Utf8ToCp1251("\xCA\xC8"), "\xCA\xC8");
}

TEST(Text1251, RecognisesUtf8) {
  EXPECT_TRUE(IsValidUtf8("plain ascii"));
  EXPECT_TRUE(IsValidUtf8("КИР"));
  EXPECT_FALSE(IsValidUtf8("\xCA\xC8\xD0"));  // the same name in code page 1251
  EXPECT_FALSE(IsValidUtf8("\xC0\x80"));      // overlong NUL
  EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));  // a surrogate
  EXPECT_FALSE(IsValidUtf8("\xE2\x82"));      // cut short
}

TEST(Text1251, ComparesWithoutCase) {
  EXPECT_TRUE(EqualNoCase1251("n-s", "N-S"));
  EXPECT_TRUE(EqualNoCase1251("\xEA\xE8\xF0", "\xCA\xC8\xD0"));
  EXPECT_FALSE(EqualNoCase1251("N-S", "N-S "));
  EXPECT_FALSE(EqualNoCase1251("E-W", "N-S"));
}

}  // namespace
}  // namespace korvel
