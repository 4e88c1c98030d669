#include "engine/operator_texts.h"

#include "platform/text1251.h"

namespace korvel {

std::string ErrorTextForOperator(const std::string& text_utf8) {
  const std::size_t characters = Utf8CharacterCount(text_utf8);
  if (characters <= kErrorTextLength) return text_utf8;
  // The first 255 characters: all but the last (characters - 255) of them.
  const std::string tail = LastUtf8Characters(text_utf8, characters - kErrorTextLength);
  return text_utf8.substr(0, text_utf8.size() - tail.size());
}

std::string FormatWithin(std::size_t limit, const char* format_utf8,
                         const std::string& value_utf8) {
  const std::string format = format_utf8;
  const std::size_t at = format.find("%s");
  const std::size_t fixed = Utf8CharacterCount(format) - 2;  // without the %s
  std::string value = value_utf8;
  if (fixed + Utf8CharacterCount(value) > limit) {
    const std::size_t room = limit > fixed + 3 ? limit - fixed - 3 : 0;
    value = "..." + LastUtf8Characters(value, room);
  }
  return format.substr(0, at) + value + format.substr(at + 2);
}

}  // namespace korvel
