// The keys of the ЙЦУКЕН layout and the Latin letters on them.
#include "controls/latin_mnemonics.h"

#include <gtest/gtest.h>

namespace korvel {
namespace {

TEST(LatinMnemonics, EachCyrillicLetterMapsToTheLatinLetterOnItsKeyAndBack) {
  const struct {
    char16_t cyrillic;
    char latin;
  } keys[] = {{u'К', 'R'}, {u'к', 'R'}, {u'Ф', 'A'},  {u'а', 'F'}, {u'Ы', 'S'},
              {u'О', 'J'}, {u'П', 'G'}, {u'Э', '\''}, {u'Й', 'Q'}, {u'Я', 'Z'},
              {u'Ё', '`'}, {u'Ю', '.'}, {u'Х', '['},  {u'Ж', ';'}};
  for (const auto& key : keys) {
    SCOPED_TRACE(key.latin);
    EXPECT_EQ(LatinKeyOf(QChar(key.cyrillic)), QChar::fromLatin1(key.latin));
    EXPECT_EQ(CyrillicKeyOf(QChar::fromLatin1(key.latin)), QChar(key.cyrillic).toUpper());
  }
  EXPECT_EQ(CyrillicKeyOf(QChar::fromLatin1('r')), QChar(u'К'));
  for (const QChar other : {QChar::fromLatin1('R'), QChar::fromLatin1('1'), QChar(u'І'), QChar()})
    EXPECT_TRUE(LatinKeyOf(other).isNull()) << int{other.unicode()};
  for (const QChar other : {QChar::fromLatin1('1'), QChar::fromLatin1('-'), QChar(u'К'), QChar()})
    EXPECT_TRUE(CyrillicKeyOf(other).isNull()) << int{other.unicode()};
}

}  // namespace
}  // namespace korvel
