#include "app/cli/time_window_options.h"

#include <cstdio>

#include "config/settings.h"
#include "engine/time_window.h"
#include "platform/text1251.h"

namespace korvel::cli {

std::optional<WindowChoice> ResolveTimeWindow(const std::string& start, const std::string& length,
                                              bool all_times) {
  if (all_times) return WindowChoice{};
  const std::string start_text = start.empty() ? ReadTimeWindowStart() : Utf8ToCp1251(start);
  const auto parsed = ParseWindowStart(start_text);
  if (!parsed) {
    std::fprintf(stderr, "Ошибка: Введено ошибочное время '%s'\n",
                 Cp1251ToUtf8(start_text).c_str());
    return std::nullopt;
  }
  return WindowChoice{
      *parsed, ParseWindowLength(length.empty() ? ReadTimeWindowLength() : Utf8ToCp1251(length))};
}

}  // namespace korvel::cli
